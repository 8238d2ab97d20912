#ifndef OXLE_TESTS_BOX_BOXPROCESS_H
#define OXLE_TESTS_BOX_BOXPROCESS_H

#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

// A scratch folder for one test, removed with everything in it at the end.
class ScratchDir
{
public:
	ScratchDir();
	~ScratchDir();
	ScratchDir(const ScratchDir&) = delete;
	ScratchDir& operator=(const ScratchDir&) = delete;
	const std::string& path() const { return dir; }
	std::string operator/(const std::string& name) const { return dir + "/" + name; }
	// Writes a file below the folder and returns its path.
	std::string write(const std::string& name, const std::string& contents) const;

private:
	std::string dir;
};

// One run of the real oxle-box binary as a child process.
struct BoxRun
{
	int exitCode = -1;  // -1: killed by a signal or not started
	std::string output; // standard output and error together
};

struct BoxCall
{
	std::vector<std::string> args;
	// Variables set for the child, and those taken away: by default the box must not
	// pick up the tester's own root or display.
	std::map<std::string, std::string> setEnv;
	std::vector<std::string> unsetEnv = {"OXLE_BOX_ROOT", "DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"};
	std::string stdinText;
};

// Runs oxle-box with call.args; a child that outlives the safety limit is killed
// (exitCode -1), so a hanging box fails its test instead of the whole suite.
BoxRun runBox(const BoxCall& call);
BoxRun runBox(const std::vector<std::string>& args);

// The arguments every fixture run shares: the fixture plugin, a root, a journal and a
// watchdog far beyond any test's need.
std::vector<std::string> fixtureArgs(const ScratchDir& dir);

std::vector<nlohmann::json> readJournal(const std::string& path);
// The journal lines whose "ev" is ev, in order.
std::vector<nlohmann::json> eventsOf(const std::vector<nlohmann::json>& journal, const std::string& ev);

extern const char* const boxBinary;
extern const char* const fixturePlugin;

#endif
