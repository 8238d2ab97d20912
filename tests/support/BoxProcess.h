#ifndef OXLE_TESTS_SUPPORT_BOXPROCESS_H
#define OXLE_TESTS_SUPPORT_BOXPROCESS_H

#include <string>
#include <vector>

#include "JournalReader.h"
#include "TempDir.h"

// One run of the real oxle-box as a child process in a folder of its own (root/, seeded with
// server address 127.0.0.1, and journal.jsonl). A box past the safety limit is killed with its
// process group: a hang fails its test, not the suite. It sees neither the tester's
// OXLE_BOX_ROOT nor the display, unless environment says so.
class BoxProcess
{
public:
	struct Result
	{
		int exitCode = -1;  // -1: killed by a signal, or never started
		std::string output; // standard output and error together
	};

	static const char* const PLUGIN;         // liboxle.so
	static const char* const FIXTURE_PLUGIN; // the small plugin of oxle-box's own tests

	std::string plugin = PLUGIN;
	std::string keys; // the key script, one item a line; none when empty
	std::string decoder = "fast";
	std::vector<std::string> extra;       // further arguments, after the others
	std::vector<std::string> environment; // "NAME=VALUE"
	std::string input;                    // standard input

	// Settings seeded into the store before the plugin starts ("--set").
	void set(const std::string& key, const std::string& value) { settings.push_back(key + "=s:" + value); }
	void set(const std::string& key, int value) { settings.push_back(key + "=i:" + std::to_string(value)); }

	// The whole command line the run gets (without the program).
	std::vector<std::string> args() const;
	Result run() const;
	static Result run(const std::vector<std::string>& args, const std::vector<std::string>& environment = {},
		const std::string& input = std::string());

	const TempDir& dir() const { return folder; }
	std::string rootFile(const std::string& boxPath) const { return folder / ("root" + boxPath); }
	JournalReader journal() const { return JournalReader(folder / "journal.jsonl"); }

private:
	TempDir folder{"oxle-box-run"};
	std::vector<std::string> settings;
};

#endif
