#ifndef OXLE_DESKTOP_JOURNAL_H
#define OXLE_DESKTOP_JOURNAL_H

#include <functional>
#include <mutex>
#include <string>

// Only the names: a file that builds fields includes <nlohmann/json.hpp> itself, so
// that one that merely opens or closes the journal stays quick to compile.
#include <nlohmann/json_fwd.hpp>

// One JSON object per line for every effect a tester wants to see. Every line has
// "t" (ms since the host started) and "ev". Safe to call from any thread.
class Journal
{
public:
	static Journal& instance();

	// Opens (truncates) the journal file; false with a diagnostic when it cannot.
	bool open(const std::string& path);
	void close();
	bool isOpen() const;

	// Writes {"t":…, "ev":ev, …fields}. fields must be an object (or null).
	void event(const char* ev, const nlohmann::json& fields);
	void event(const char* ev);

	// Sees every event as its journal line would hold it, file or no file, on the
	// thread that raised it (so it must hand work on rather than do it). One listener;
	// an empty function removes it.
	using Listener = std::function<void(const nlohmann::ordered_json& line)>;
	void setListener(Listener listener);

	// Milliseconds on the monotonic clock since the process started the host.
	static long long now();

private:
	Journal() = default;
	mutable std::mutex lock; // guards file and listener
	FILE* file = nullptr;
	Listener listener;
};

#endif
