#include <gtest/gtest.h>

#include <filesystem>

#include "BoxProcess.h"

namespace
{
// A run of the fixture with a key script; returns the run and its journal.
BoxRun runScript(const ScratchDir& dir, const std::string& script, std::vector<std::string> extra = {})
{
	std::vector<std::string> args = fixtureArgs(dir);
	args.push_back("--keys");
	args.push_back(dir.write("keys.txt", script));
	args.insert(args.end(), extra.begin(), extra.end());
	return runBox(args);
}

int journalQuitCode(const ScratchDir& dir)
{
	auto quits = eventsOf(readJournal(dir / "journal.jsonl"), "quit");
	if (quits.size() != 1)
		return -100 - int(quits.size());
	return quits[0].value("code", -1);
}
} // namespace

TEST(BoxExitTest, ExitCodeComesFromThePluginOrFromQuit)
{
	struct Case
	{
		const char* script;
		int code;
	};
	const Case cases[] = {
		{"down\nexit\n", 0},     // Exit closes the window; plugin_exec returns 0
		{"red\n", 4},            // the plugin asks the host to quit with 4
		{"down\nok\nquit\n", 0}, // the script's quit ends every loop, the message box's too
	};
	for (const Case& c : cases)
	{
		ScratchDir dir;
		BoxRun run = runScript(dir, c.script);
		EXPECT_EQ(run.exitCode, c.code) << c.script << run.output;
		EXPECT_EQ(journalQuitCode(dir), c.code) << c.script;
	}
}

TEST(BoxExitTest, KeyScriptFromStandardInput)
{
	ScratchDir dir;
	BoxCall call;
	call.args = fixtureArgs(dir);
	call.args.insert(call.args.end(), {"--keys", "-"});
	call.stdinText = "down\nred\n";
	BoxRun run = runBox(call);
	EXPECT_EQ(run.exitCode, 4) << run.output;
	EXPECT_EQ(eventsOf(readJournal(dir / "journal.jsonl"), "key").size(), 2u);
}

TEST(BoxExitTest, BadKeyScriptStopsBeforeThePluginRuns)
{
	ScratchDir dir;
	BoxRun run = runScript(dir, "# menu\n\nup\nfrobnicate\nexit\n");
	EXPECT_EQ(run.exitCode, 2) << run.output;
	EXPECT_NE(run.output.find("line 4"), std::string::npos) << run.output;
	EXPECT_NE(run.output.find("frobnicate"), std::string::npos) << run.output;
	EXPECT_FALSE(std::filesystem::exists(dir / "root")) << "nothing is set up before the check";
	EXPECT_FALSE(std::filesystem::exists(dir / "journal.jsonl"));

	ScratchDir noSnapDir;
	run = runScript(noSnapDir, "snap first\nexit\n");
	EXPECT_EQ(run.exitCode, 2) << run.output;
	EXPECT_NE(run.output.find("--snapshots"), std::string::npos) << run.output;
}

TEST(BoxExitTest, MissingPluginOrUnusableRootIsBadInput)
{
	ScratchDir dir;
	BoxRun run = runBox({"--plugin", dir / "no-such-plugin.so", "--root", dir / "root", "--journal",
		dir / "journal.jsonl", "--timeout", "30"});
	EXPECT_EQ(run.exitCode, 2) << run.output;
	EXPECT_NE(run.output.find("no-such-plugin.so"), std::string::npos) << run.output;
	EXPECT_EQ(journalQuitCode(dir), 2);

	// A plain file where a folder must go.
	const std::string blocker = dir.write("blocker", "not a folder");
	run = runBox({"--plugin", fixturePlugin, "--root", blocker + "/root", "--timeout", "30"});
	EXPECT_EQ(run.exitCode, 2) << run.output;
	EXPECT_NE(run.output.find(blocker), std::string::npos) << run.output;
}

TEST(BoxExitTest, MalformedCommandLineIsBadInput)
{
	const std::vector<std::vector<std::string>> cases = {
		{"--set", "/enigma/plugins/oxle/serverport=i:12x"},
		{"--set", "/enigma/plugins/oxle/serverip=127.0.0.1"},
		{"--set", "=s:x"},
		{"--decoder", "slow"},
		{"--timeout", "-3"},
		{"--no-such-option"},
	};
	for (const auto& extra : cases)
	{
		ScratchDir dir;
		std::vector<std::string> args = fixtureArgs(dir);
		args.insert(args.end(), extra.begin(), extra.end());
		BoxRun run = runBox(args);
		EXPECT_EQ(run.exitCode, 2) << extra[0] << " " << (extra.size() > 1 ? extra[1] : "") << run.output;
		EXPECT_FALSE(std::filesystem::exists(dir / "root")) << extra[0] << ": nothing is set up before the check";
	}
	BoxRun help = runBox({"--help"});
	EXPECT_EQ(help.exitCode, 0);
	EXPECT_NE(help.output.find("--keys"), std::string::npos) << help.output;
}

TEST(BoxExitTest, TimeoutEndsAHangingRunWith124)
{
	ScratchDir dir;
	std::vector<std::string> args = {"--plugin", fixturePlugin, "--root", dir / "root", "--journal",
		dir / "journal.jsonl", "--timeout", "1", "--keys", dir.write("keys.txt", "down\nsleep 600000\n")};
	BoxRun run = runBox(args);
	EXPECT_EQ(run.exitCode, 124) << run.output;
	auto journal = readJournal(dir / "journal.jsonl");
	ASSERT_FALSE(journal.empty());
	EXPECT_EQ(journal.back().value("ev", ""), "quit");
	EXPECT_EQ(journal.back().value("code", 0), 124);
	EXPECT_EQ(eventsOf(journal, "key").size(), 1u) << "the script ran up to its sleep";
}
