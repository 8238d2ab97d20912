#include <gtest/gtest.h>

#include "BoxProcess.h"

namespace
{
std::vector<int> currentRows(const std::vector<nlohmann::json>& journal)
{
	std::vector<int> rows;
	for (const nlohmann::json& j : eventsOf(journal, "list"))
	{
		int current = j.value("current", -2);
		// A redraw may journal the same state again; only moves count here.
		if (rows.empty() || rows.back() != current)
			rows.push_back(current);
	}
	return rows;
}
} // namespace

TEST(BoxJournalTest, KeysListMovesAndMessageBoxesAreJournalled)
{
	ScratchDir dir;
	std::vector<std::string> args = fixtureArgs(dir);
	// The second box is left to close itself after its two-second time-out.
	const char* script = "down\ndown\nup\nok\nexit\ndown\nok\nsleep 2600\nexit\n";
	args.insert(args.end(), {"--keys", dir.write("keys.txt", script)});
	BoxRun run = runBox(args);
	ASSERT_EQ(run.exitCode, 0) << run.output;
	auto journal = readJournal(dir / "journal.jsonl");
	for (const nlohmann::json& j : journal)
	{
		ASSERT_TRUE(j.is_object()) << "every journal line is a JSON object";
		EXPECT_TRUE(j.contains("t"));
	}

	std::vector<std::string> keys;
	for (const nlohmann::json& j : eventsOf(journal, "key"))
		keys.push_back(j.value("key", ""));
	EXPECT_EQ(keys, (std::vector<std::string>{"down", "down", "up", "ok", "exit", "down", "ok", "exit"}));

	auto lists = eventsOf(journal, "list");
	ASSERT_FALSE(lists.empty());
	EXPECT_EQ(lists[0]["rows"], nlohmann::json({"Alpha", "Bravo", "Charlie", "Delta"}));
	// Down, down, up; the box takes ok and exit; then down moves the list again.
	EXPECT_EQ(currentRows(journal), (std::vector<int>{0, 1, 2, 1, 2}));

	auto boxes = eventsOf(journal, "msgbox");
	ASSERT_EQ(boxes.size(), 2u);
	EXPECT_EQ(boxes[0].value("text", ""), "You chose Bravo");
	EXPECT_EQ(boxes[1].value("text", ""), "You chose Charlie");
	for (const nlohmann::json& box : boxes)
	{
		EXPECT_EQ(box.value("caption", ""), "Fixture");
		EXPECT_EQ(box.value("flags", 0), 17); // information icon, OK button
		EXPECT_EQ(box.value("timeout", 0), 2);
	}
	auto closes = eventsOf(journal, "msgbox_close");
	ASSERT_EQ(closes.size(), 2u);
	EXPECT_NE(closes[0].value("result", 1), 1) << "exit cancels the first box";
	EXPECT_EQ(closes[1].value("result", 0), 1) << "the time-out closes with the default button";
	// The time-out, not a key, closed the second box: nothing was pressed in between.
	bool open = false, keyWhileOpen = false;
	for (const nlohmann::json& j : journal)
	{
		if (j == boxes[1])
			open = true;
		else if (j == closes[1])
			open = false;
		else if (open && j.value("ev", "") == "key")
			keyWhileOpen = true;
	}
	EXPECT_FALSE(keyWhileOpen);

	EXPECT_EQ(journal.back().value("ev", ""), "quit");
	EXPECT_EQ(journal.back().value("code", -1), 0);
}

TEST(BoxJournalTest, WaitGoesOnWhenItsEventComes)
{
	ScratchDir dir;
	std::vector<std::string> args = fixtureArgs(dir);
	// The fixture's message box closes itself after two seconds; the wait's own time-out
	// is far beyond the run's --timeout, so only the event can end it.
	const char* script = "down\nok\nwait 600000 msgbox_close caption=Fixture\nexit\n";
	args.insert(args.end(), {"--keys", dir.write("keys.txt", script)});
	BoxRun run = runBox(args);
	ASSERT_EQ(run.exitCode, 0) << run.output;
	auto journal = readJournal(dir / "journal.jsonl");
	auto closes = eventsOf(journal, "msgbox_close");
	ASSERT_EQ(closes.size(), 1u);
	EXPECT_EQ(closes[0].value("result", 0), 1) << "the box closed itself, not by a key";
	auto keys = eventsOf(journal, "key");
	ASSERT_FALSE(keys.empty());
	EXPECT_EQ(keys.back().value("key", ""), "exit");
	EXPECT_GT(keys.back().value("t", 0), closes[0].value("t", 0));
}
