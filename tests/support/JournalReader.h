#ifndef OXLE_TESTS_SUPPORT_JOURNALREADER_H
#define OXLE_TESTS_SUPPORT_JOURNALREADER_H

#include <cstddef>
#include <map>
#include <string>
#include <vector>

// One line of a box journal as plain values. Every field is text: strings as they are,
// numbers and booleans as written ("1500", "true"). Nested objects and arrays are there
// whole, as their JSON text, and item by item under dotted names:
// "packets" = {"256":40}, "packets.256" = "40"; "rows.0" = "Films".
struct JournalEvent
{
	long long t = -1;
	std::string ev;
	std::map<std::string, std::string> fields;
	// The line as written, for failure messages.
	std::string line;

	// Empty when the field is missing.
	std::string operator[](const std::string& name) const;
	bool has(const std::string& name) const { return fields.count(name) != 0; }
	long long number(const std::string& name, long long absent = -1) const;
};

// The journal a box wrote (JSON lines), read once when the reader is made. Positions count
// events from the first one read. A last line without its newline is still being written;
// it and lines that are no JSON object are left out.
class JournalReader
{
public:
	static constexpr size_t npos = size_t(-1);
	// Fields that must all hold, by name and text.
	using Match = std::map<std::string, std::string>;

	// The events of the file from the since-th one on.
	explicit JournalReader(const std::string& path, size_t since = 0);

	size_t size() const { return events.size(); }
	const JournalEvent& operator[](size_t at) const { return events.at(at); }

	// The first event ev matching match at or after from.
	size_t find(const std::string& ev, const Match& match = Match(), size_t from = 0) const;
	// The last event ev matching match before before.
	size_t findLast(const std::string& ev, const Match& match = Match(), size_t before = npos) const;
	std::vector<JournalEvent> all(const std::string& ev, const Match& match = Match()) const;
	// One field of every event ev, in order.
	std::vector<std::string> texts(const std::string& ev, const std::string& field = "text") const;
	// Every line read, for failure messages.
	std::string dump() const;

private:
	static bool matches(const JournalEvent& event, const std::string& ev, const Match& match);

	std::vector<JournalEvent> events;
};

#endif
