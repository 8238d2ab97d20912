// The picon table: which position wins, what counts as read, and the start-up read
// into the plugin's globals.
#include <string>

#include <gtest/gtest.h>

#include "LogoConf.h"
#include "TempBoxRoot.h"
#include "WindowsTestHost.h"
#include "oxleGlobals.h"

namespace
{
const char TABLE[] = "/var/tuxbox/config/picon.xml";
const int START_X = 200, START_Y = 300;

std::string tableFile()
{
	return windowsTestRoot().file(TABLE);
}

// Pads a document with a comment to exactly size bytes.
std::string paddedTo(const std::string& document, size_t size)
{
	const std::string open = "<!--", close = "-->";
	const size_t fill = size - document.size() - open.size() - close.size();
	return document + open + std::string(fill, '.') + close;
}

TEST(LogoConf, PrecedenceOfPositions)
{
	struct Case
	{
		const char* what;
		std::string document;
		bool wasSkinSpecific;
		int result, x, y;
		bool skinSpecific;
	};
	const std::string framebuffer = "<values><framebuffer posx=\"10\" posy=\"20\"/></values>";
	const std::string mySkin = "<pskins><skin name=\"Blue\" posx=\"30\" posy=\"40\"/></pskins>";
	const Case cases[] = {
		{"empty root", "<picon/>", false, 0, START_X, START_Y, false},
		{"general only", "<picon>" + framebuffer + "</picon>", false, 0, 10, 20, false},
		{"skin after general", "<picon>" + framebuffer + mySkin + "</picon>", false, 0, 30, 40, true},
		{"skin before general", "<picon>" + mySkin + framebuffer + "</picon>", false, 0, 30, 40, true},
		{"other letter case",
			"<picon>" + framebuffer + "<pskins><skin name=\"blue\" posx=\"1\" posy=\"2\"/></pskins></picon>", false, 0,
			10, 20, false},
		{"two matching skins",
			"<picon><pskins><skin name=\"Blue\" posx=\"1\" posy=\"2\"/><skin name=\"Other\" posx=\"5\" "
			"posy=\"6\"/><skin name=\"Blue\" posx=\"3\" posy=\"4\"/></pskins></picon>",
			false, 0, 3, 4, true},
		{"two general",
			"<picon><values><framebuffer posx=\"1\" posy=\"2\"/></values><values><framebuffer posx=\"7\" "
			"posy=\"8\"/></values></picon>",
			false, 0, 7, 8, false},
		{"general after an earlier skin read", "<picon>" + framebuffer + "</picon>", true, 0, START_X, START_Y, true},
		{"missing numbers", "<picon><values><framebuffer posy=\"12\"/></values></picon>", false, 0, 0, 12, false},
		{"skin without a name", "<picon><pskins><skin posx=\"1\" posy=\"2\"/></pskins></picon>", false, 0, START_X,
			START_Y, false},
		{"elements out of place",
			"<picon><framebuffer posx=\"1\" posy=\"2\"/><skin name=\"Blue\" posx=\"3\" posy=\"4\"/>"
			"<values><skin name=\"Blue\" posx=\"5\" posy=\"6\"/></values></picon>",
			false, 0, START_X, START_Y, false},
		{"Latin-1 without a declaration",
			"<picon><pskins><skin name=\"H\xE9las\" posx=\"1\" posy=\"2\"/></pskins>" + framebuffer + "</picon>", false,
			0, 10, 20, false},
		{"longer than a piece", paddedTo("<picon>" + mySkin + "</picon>", 5000), false, 0, 30, 40, true},
		{"exactly two pieces", paddedTo("<picon>" + framebuffer + "</picon>", 2048), false, 0, 10, 20, false},
		{"malformed", "<picon><values></picon>", false, -1, START_X, START_Y, false},
		{"no element", "<?xml version=\"1.0\"?>", false, -1, START_X, START_Y, false},
		{"empty file", "", false, -1, START_X, START_Y, false},
	};
	for (const Case& c : cases)
	{
		ASSERT_TRUE(windowsTestRoot().writeFile(TABLE, c.document));
		LogoPlace place;
		place.x = START_X;
		place.y = START_Y;
		place.skinSpecific = c.wasSkinSpecific;
		EXPECT_EQ(readLogoConfFile(tableFile().c_str(), "Blue", place), c.result) << c.what;
		EXPECT_EQ(place.x, c.x) << c.what;
		EXPECT_EQ(place.y, c.y) << c.what;
		EXPECT_EQ(place.skinSpecific, c.skinSpecific) << c.what;
	}
}

TEST(LogoConf, MissingTableChangesNothing)
{
	const std::string missing = windowsTestRoot().file("/var/tuxbox/config/no-such-picon.xml");
	LogoPlace place;
	place.x = START_X;
	place.y = START_Y;
	EXPECT_EQ(readLogoConfFile(missing.c_str(), "Blue", place), -1);
	EXPECT_EQ(place.x, START_X);
	EXPECT_EQ(place.y, START_Y);
	EXPECT_FALSE(place.skinSpecific);
}

TEST(LogoConf, StartUpReadFillsTheGlobals)
{
	posx = START_X;
	posy = START_Y;
	formatted_skin = false;
	active_skin = "default";
	ASSERT_TRUE(windowsTestRoot().writeFile(TABLE,
		"<picon><values><framebuffer posx=\"11\" posy=\"22\"/></values><pskins><skin name=\"default\" posx=\"33\" "
		"posy=\"44\"/></pskins></picon>"));
	EXPECT_EQ(readPiconTable(), 0);
	EXPECT_EQ(posx, 33);
	EXPECT_EQ(posy, 44);
	EXPECT_TRUE(formatted_skin);

	// A later read of a table without the skin keeps the skin's position.
	ASSERT_TRUE(
		windowsTestRoot().writeFile(TABLE, "<picon><values><framebuffer posx=\"1\" posy=\"2\"/></values></picon>"));
	EXPECT_EQ(readPiconTable(), 0);
	EXPECT_EQ(posx, 33);
	EXPECT_EQ(posy, 44);

	formatted_skin = false;
	posx = START_X;
	posy = START_Y;
	ASSERT_TRUE(windowsTestRoot().writeFile(TABLE, "<picon"));
	EXPECT_EQ(readPiconTable(), -1);
	EXPECT_EQ(posx, START_X);
	EXPECT_EQ(posy, START_Y);
	EXPECT_FALSE(formatted_skin);
}
} // namespace
