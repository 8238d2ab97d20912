#ifndef OXLE_TESTS_E2E_JOURNALQUERY_H
#define OXLE_TESTS_E2E_JOURNALQUERY_H

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

// The box's journal of one run, with the look-ups the end-to-end tests share. Positions
// are line numbers (0-based) in the journal; npos means "not there".
class JournalQuery
{
public:
	static constexpr size_t npos = size_t(-1);
	using Match = std::function<bool(const nlohmann::json&)>;

	explicit JournalQuery(std::vector<nlohmann::json> lines) : lines(std::move(lines)) {}

	size_t size() const { return lines.size(); }
	const nlohmann::json& operator[](size_t i) const { return lines[i]; }

	// The first line from position from on with event ev (and match, when given).
	size_t find(const std::string& ev, size_t from = 0, const Match& match = nullptr) const;
	// The last line before position before with event ev (and match, when given).
	size_t findLastBefore(const std::string& ev, size_t before, const Match& match = nullptr) const;
	// Every line with event ev, in order.
	std::vector<nlohmann::json> all(const std::string& ev) const;
	// The "text" of every line with event ev, in order.
	std::vector<std::string> texts(const std::string& ev) const;

	// Matchers for the fields the tests look at most.
	static Match textIs(const std::string& text);
	static Match opIs(const std::string& op);

	// The whole journal as text, for failure messages.
	std::string dump() const;

private:
	std::vector<nlohmann::json> lines;
};

#endif
