#include <gtest/gtest.h>

#include "KeyScript.h"

namespace
{
using Kind = KeyScript::Item::Kind;
}

TEST(KeyScriptTest, ReadsEveryKindOfItemAndSkipsBlankAndCommentLines)
{
	KeyScript script;
	std::string error;
	const std::string text = "# a test\n"
							 "\n"
							 "  down  \n"
							 "ok # select the row\n"
							 "sleep 250\n"
							 "snap after-ok\n"
							 "7\n"
							 "volup\n"
							 "quit\n";
	ASSERT_TRUE(script.parse(text, true, error)) << error;
	const auto& items = script.items();
	ASSERT_EQ(items.size(), 7u);
	EXPECT_EQ(items[0].kind, Kind::Key);
	EXPECT_EQ(items[0].name, "down");
	EXPECT_EQ(items[0].line, 3);
	EXPECT_EQ(items[1].name, "ok");
	EXPECT_EQ(items[2].kind, Kind::Sleep);
	EXPECT_EQ(items[2].ms, 250);
	EXPECT_EQ(items[3].kind, Kind::Snap);
	EXPECT_EQ(items[3].name, "after-ok");
	EXPECT_EQ(items[4].name, "7");
	EXPECT_EQ(items[5].name, "volup");
	EXPECT_EQ(items[6].kind, Kind::Quit);
	EXPECT_EQ(items[6].line, 9);
}

TEST(KeyScriptTest, WaitTakesATimeOutAnEventAndAFieldWhoseValueMayHoldSpaces)
{
	KeyScript script;
	std::string error;
	ASSERT_TRUE(script.parse("wait 3000 showiframe\nwait 20000 lcd text=Evening news.ts  \n", true, error)) << error;
	const auto& items = script.items();
	ASSERT_EQ(items.size(), 2u);
	EXPECT_EQ(items[0].kind, Kind::Wait);
	EXPECT_EQ(items[0].ms, 3000);
	EXPECT_EQ(items[0].name, "showiframe");
	EXPECT_TRUE(items[0].field.empty());
	EXPECT_EQ(items[1].name, "lcd");
	EXPECT_EQ(items[1].field, "text");
	EXPECT_EQ(items[1].value, "Evening news.ts");
}

TEST(KeyScriptTest, RejectsABadLineNamingIt)
{
	struct Case
	{
		const char* text;
		bool snapshots;
		const char* lineMention;
	};
	const Case cases[] = {
		{"up\nfrobnicate\n", true, "line 2"},
		{"OK\n", true, "line 1"},      // key names are lower case
		{"up down\n", true, "line 1"}, // one key a line
		{"sleep\n", true, "line 1"},
		{"sleep -5\n", true, "line 1"},
		{"sleep 12ms\n", true, "line 1"},
		{"sleep 999999999999\n", true, "line 1"},
		{"snap\n", true, "line 1"},
		{"\n\nsnap ../escape\n", true, "line 3"},
		{"snap a/b\n", true, "line 1"},
		{"snap .hidden\n", true, "line 1"},
		{"snap fine\n", false, "line 1"}, // nowhere to write it
		{"quit now\n", true, "line 1"},
		{"wait lcd\n", true, "line 1"},          // no time-out
		{"wait 100\n", true, "line 1"},          // no event
		{"wait 100 lcd text\n", true, "line 1"}, // a condition needs FIELD=VALUE
		{"wait 100 lcd =x\n", true, "line 1"},
		{"# fine\nred\n10\n", true, "line 3"},
	};
	for (const Case& c : cases)
	{
		KeyScript script;
		std::string error;
		EXPECT_FALSE(script.parse(c.text, c.snapshots, error)) << c.text;
		EXPECT_NE(error.find(c.lineMention), std::string::npos) << c.text << " -> " << error;
		EXPECT_TRUE(script.items().empty()) << c.text;
	}
}

TEST(KeyScriptTest, LoadReportsAMissingFile)
{
	KeyScript script;
	std::string error;
	EXPECT_FALSE(script.load("/nonexistent/oxle/keys.txt", true, error));
	EXPECT_NE(error.find("/nonexistent/oxle/keys.txt"), std::string::npos);
}
