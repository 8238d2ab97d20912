#include "BoxProcess.h"

#include <sys/wait.h>

#include <map>

#include "server/ChildProcess.h"

using oxle::server::ChildProcess;

const char* const BoxProcess::PLUGIN = OXLE_PLUGIN;
const char* const BoxProcess::FIXTURE_PLUGIN = OXLE_FIXTURE_PLUGIN;

namespace
{
// The box ends a hung run itself after WATCHDOG_SECONDS; the limit here, beyond it,
// catches a box whose watchdog failed too.
const char WATCHDOG_SECONDS[] = "50";
const int SAFETY_LIMIT_MS = 60000;
// Empty values: the box must not pick up the tester's own root or display.
const char* const CLEARED[] = {"OXLE_BOX_ROOT=", "DISPLAY=", "WAYLAND_DISPLAY=", "SDL_VIDEODRIVER="};
} // namespace

std::vector<std::string> BoxProcess::args() const
{
	std::vector<std::string> out = {"--plugin", plugin, "--root", folder / "root", "--journal",
		folder / "journal.jsonl", "--timeout", WATCHDOG_SECONDS, "--decoder", decoder};
	if (!keys.empty())
		out.insert(out.end(), {"--keys", folder.file("keys.txt", keys)});
	for (const std::string& setting : settings)
		out.insert(out.end(), {"--set", setting});
	out.insert(out.end(), extra.begin(), extra.end());
	return out;
}

BoxProcess::Result BoxProcess::run() const
{
	return run(args(), environment, input);
}

BoxProcess::Result BoxProcess::run(
	const std::vector<std::string>& args, const std::vector<std::string>& environment, const std::string& input)
{
	Result result;
	TempDir io("oxle-box-io");
	std::map<std::string, std::string> byName;
	for (const char* entry : CLEARED)
		byName[std::string(entry).substr(0, std::string(entry).find('='))] = entry;
	for (const std::string& entry : environment)
		byName[entry.substr(0, entry.find('='))] = entry;

	ChildProcess box;
	ChildProcess::Launch launch;
	launch.argv = {OXLE_BOX_BINARY};
	launch.argv.insert(launch.argv.end(), args.begin(), args.end());
	for (const auto& entry : byName)
		launch.environment.push_back(entry.second);
	launch.input = ChildProcess::Stream::file(io.file("input", input));
	// Both streams append to one file, so neither overwrites the other.
	const std::string output = io.file("output");
	launch.output = ChildProcess::Stream::file(output, true);
	launch.errors = ChildProcess::Stream::file(output, true);
	std::string error;
	int status = 0;
	if (!box.start(launch, error))
		return Result{-1, "oxle-box did not start: " + error};
	const bool ended = box.waitFor(SAFETY_LIMIT_MS, status);
	result.output = io.read("output");
	if (!ended)
		result.output += "\n[killed: ran past the test's safety limit]";
	else if (WIFEXITED(status))
		result.exitCode = WEXITSTATUS(status);
	return result;
}
