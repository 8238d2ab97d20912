#include "E2eBox.h"

namespace
{
const char* const plugin = OXLE_PLUGIN;
// The box ends a run that hangs; the runner's own safety limit lies beyond it.
const char* const watchdogSeconds = "50";
} // namespace

const char* const E2eBox::serverPortKey = "/enigma/plugins/oxle/serverport";

void E2eBox::setString(const std::string& key, const std::string& value)
{
	settings.push_back(key + "=s:" + value);
}

void E2eBox::setInt(const std::string& key, int value)
{
	settings.push_back(key + "=i:" + std::to_string(value));
}

BoxRun E2eBox::run()
{
	std::vector<std::string> args = {"--plugin", plugin, "--root", dir / "root", "--journal", dir / "journal.jsonl",
		"--timeout", watchdogSeconds, "--decoder", pacing_, "--keys", dir.write("keys.txt", keyScript)};
	if (wantSnapshots)
		args.insert(args.end(), {"--snapshots", dir / "snaps"});
	for (const std::string& s : settings)
		args.insert(args.end(), {"--set", s});
	return runBox(args);
}

JournalQuery E2eBox::journal() const
{
	return JournalQuery(readJournal(dir / "journal.jsonl"));
}

std::string E2eBox::snapshot(const std::string& name) const
{
	return dir / ("snaps/" + name + ".png");
}

std::string E2eBox::rootFile(const std::string& boxPath) const
{
	return dir.path() + "/root" + boxPath;
}
