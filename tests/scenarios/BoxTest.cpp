// oxle-box's own behaviour that a journal does not show: what it refuses before it makes
// anything, the root it lays out, its watchdog and its key scripts.
#include <sys/stat.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "BoxProcess.h"
#include "KeyScript.h"
#include "RootSeeder.h"

namespace fs = std::filesystem;

namespace
{
const char CONFIG[] = "/var/tuxbox/config/enigma/config";
const char INTERFACES[] = "/etc/network/interfaces";
const char PICTURES[] = "/var/tuxbox/config/enigma/pictures/oxle/";
const char SERVER_IP_LINE[] = "s:/enigma/plugins/oxle/serverip=";
const int BAD_INPUT = 2;
const int WATCHDOG_CODE = 124;
} // namespace

TEST(Box, RefusesBadInputBeforeItMakesAnything)
{
	struct Row
	{
		const char* keys;
		std::vector<std::string> args;
		const char* named; // the diagnostic names it
	};
	const Row rows[] = {
		{"# menu\n\nup\nfrobnicate\n", {}, "line 4"}, {"snap first\n", {}, "--snapshots"},
		{"exit\n", {"--set", "/enigma/plugins/oxle/serverport=i:12x"}, "12x"},
		{"exit\n", {"--set", "/a=i:2147483648"}, "2147483648"}, {"exit\n", {"--set", "/a=S:text"}, "/a=S:text"},
		{"exit\n", {"--no-such-option"}, "--no-such-option"}, {"exit\n", {"--decoder", "slow"}, "slow"},
		{"exit\n", {"--timeout", "-3"}, "-3"}, {"exit\n", {"--window"}, "--snapshots"}, // no display to open it on
	};
	for (const Row& row : rows)
	{
		BoxProcess box;
		box.plugin = BoxProcess::FIXTURE_PLUGIN;
		box.keys = row.keys;
		box.extra = row.args;
		const BoxProcess::Result run = box.run();
		EXPECT_EQ(run.exitCode, BAD_INPUT) << row.named << run.output;
		EXPECT_NE(run.output.find(row.named), std::string::npos) << run.output;
		EXPECT_FALSE(fs::exists(box.dir() / "root") || fs::exists(box.dir() / "journal.jsonl")) << row.named;
	}
	// A plugin that is not there is found out once the host is up: the journal says so.
	BoxProcess missing;
	missing.plugin = missing.dir() / "no-such-plugin.so";
	const BoxProcess::Result run = missing.run();
	EXPECT_EQ(run.exitCode, BAD_INPUT);
	EXPECT_NE(run.output.find("no-such-plugin.so"), std::string::npos) << run.output;
	EXPECT_EQ(missing.journal().texts("quit", "code"), std::vector<std::string>{"2"});

	// A plain file where the root's folder must go.
	BoxProcess blocked;
	blocked.plugin = BoxProcess::FIXTURE_PLUGIN;
	const std::string blocker = blocked.dir().file("root", "not a folder");
	const BoxProcess::Result refused = blocked.run();
	EXPECT_EQ(refused.exitCode, BAD_INPUT);
	EXPECT_NE(refused.output.find(blocker), std::string::npos) << refused.output;
}

TEST(Box, WatchdogEndsAHangingRunWithKeysFromStandardInput)
{
	TempDir dir;
	const BoxProcess::Result run =
		BoxProcess::run({"--plugin", BoxProcess::FIXTURE_PLUGIN, "--root", dir / "root", "--journal",
							dir / "journal.jsonl", "--timeout", "1", "--keys", "-"},
			{}, "down\nsleep 600000\n");
	EXPECT_EQ(run.exitCode, WATCHDOG_CODE) << run.output;
	const JournalReader journal(dir / "journal.jsonl");
	EXPECT_EQ(journal.texts("key", "key"), std::vector<std::string>{"down"});
	ASSERT_GT(journal.size(), 0u);
	EXPECT_EQ(journal[journal.size() - 1].ev, "quit");
	EXPECT_EQ(journal[journal.size() - 1]["code"], std::to_string(WATCHDOG_CODE));
}

TEST(Box, SeedsANewRootAndNeverOverwritesIt)
{
	BoxProcess box;
	box.plugin = BoxProcess::FIXTURE_PLUGIN;
	box.keys = "exit\n";
	ASSERT_EQ(box.run().exitCode, 0);
	EXPECT_NE(
		TempDir::slurp(box.rootFile(CONFIG)).find(std::string(SERVER_IP_LINE) + "127.0.0.1\n"), std::string::npos);
	EXPECT_EQ(TempDir::slurp(box.rootFile(INTERFACES)), RootSeeder::interfacesSample);
	struct stat st = {};
	EXPECT_TRUE(stat(box.rootFile("/dev/pvr").c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
	EXPECT_TRUE(fs::is_directory(box.rootFile("/var/run")));
	int pictures = 0;
	for (const auto& entry : fs::directory_iterator(std::string(OXLE_DATA_DIR) + "/pictures"))
	{
		const bool picture = entry.path().extension() == ".png" || entry.path().extension() == ".mvi";
		pictures += picture;
		EXPECT_EQ(TempDir::slurp(box.rootFile(PICTURES + entry.path().filename().string())),
			picture ? TempDir::slurp(entry.path()) : "")
			<< entry.path();
	}
	EXPECT_GT(pictures, 0);
	EXPECT_EQ(TempDir::slurp(box.rootFile("/var/bin/showiframe")), TempDir::slurp(OXLE_SHOWIFRAME_TOOL));

	// The tester edits the root and sets values; later runs keep both.
	const std::string custom = "auto lo\niface lo inet loopback\n";
	box.dir().file("root" + std::string(INTERFACES), custom);
	box.dir().file("root" + std::string(PICTURES) + "oxle.png", "edited");
	box.extra = {"--set", "/enigma/plugins/oxle/serverip=s:127.0.0.9"};
	ASSERT_EQ(box.run().exitCode, 0);
	box.extra.clear();
	ASSERT_EQ(box.run().exitCode, 0);
	EXPECT_NE(
		TempDir::slurp(box.rootFile(CONFIG)).find(std::string(SERVER_IP_LINE) + "127.0.0.9\n"), std::string::npos);
	EXPECT_EQ(TempDir::slurp(box.rootFile(INTERFACES)), custom);
	EXPECT_EQ(TempDir::slurp(box.rootFile(std::string(PICTURES) + "oxle.png")), "edited");

	// The root may come from the environment instead.
	TempDir dir;
	const std::vector<std::string> args = {"--plugin", BoxProcess::FIXTURE_PLUGIN, "--keys", "-"};
	EXPECT_EQ(BoxProcess::run(args, {"OXLE_BOX_ROOT=" + (dir / "env")}, "exit\n").exitCode, 0);
	EXPECT_NE(dir.read("env" + std::string(CONFIG)).find(SERVER_IP_LINE), std::string::npos);
}

TEST(Box, KeyScriptTable)
{
	struct Row
	{
		const char* text;
		bool snapshots;
		const char* items; // K key, S sleep, P snap, W wait, Q quit: name, ms, condition, line
	};
	const Row rows[] = {
		{"# a test\n\n  down  \nok # select\nsleep 250\nsnap after-ok\n7\nquit\n", true,
			"K:down@3 K:ok@4 S::250@5 P:after-ok@6 K:7@7 Q:@8 "},
		{"wait 3000 showiframe\nwait 20000 lcd text=Evening news.ts  \nsleep 86400000\n", false,
			"W:showiframe:3000@1 W:lcd:20000:text=Evening news.ts@2 S::86400000@3 "},
		{"up down\n", true, "line 1"},
		{"sleep -5\n", true, "line 1"},
		{"sleep 12ms\n", true, "line 1"},
		{"sleep 86400001\n", true, "line 1"},
		{"\n\nsnap ../escape\n", true, "line 3"},
		{"snap a/b\n", true, "line 1"},
		{"quit now\n", true, "line 1"},
		{"wait 100\n", true, "line 1"},
		{"wait 100 lcd text\n", true, "line 1"},
		{"wait 100 lcd =x\n", true, "line 1"},
	};
	for (const Row& row : rows)
	{
		KeyScript script;
		std::string error, items;
		const bool good = script.parse(row.text, row.snapshots, error);
		for (const KeyScript::Item& i : script.items())
			items += std::string(1, "KSPWQ"[int(i.kind)]) + ":" + i.name + (i.ms ? ":" + std::to_string(i.ms) : "") +
				(i.field.empty() ? "" : ":" + i.field + "=" + i.value) + "@" + std::to_string(i.line) + " ";
		EXPECT_EQ(good ? items : error.substr(0, error.find(':')), row.items) << row.text << error;
		EXPECT_TRUE(good || items.empty()) << row.text;
	}
}
