// The picon table: which position wins, what counts as read, and the start-up read into
// the plugin's globals.
#include <string>

#include "BoxRootTest.h"
#include "LogoConf.h"
#include "oxleGlobals.h"

namespace
{
const char TABLE[] = "/var/tuxbox/config/picon.xml";
const int START_X = 200, START_Y = 300;

using LogoConf = BoxRootTest;

TEST_F(LogoConf, SkinPositionWinsOverTheGeneralOne)
{
	struct Case
	{
		const char* what;
		std::string document; // empty: no file
		bool wasSkinSpecific;
		int result, x, y;
		bool skinSpecific;
	};
	const std::string general = "<values><framebuffer posx=\"10\" posy=\"20\"/></values>";
	const std::string mySkin = "<pskins><skin name=\"Blue\" posx=\"30\" posy=\"40\"/></pskins>";
	const auto skin = [](const char* name) {
		return std::string("<pskins><skin name=\"") + name + "\" posx=\"1\" posy=\"2\"/></pskins>";
	};
	// The file is read in pieces of 1024 bytes: a document of exactly two ends on a piece.
	const std::string end = "--></picon>";
	std::string twoPieces = "<picon>" + general + "<!--";
	twoPieces += std::string(2048 - twoPieces.size() - end.size(), '.') + end;
	const Case cases[] = {
		{"general only", "<picon>" + general + "</picon>", false, 0, 10, 20, false},
		{"skin after general", "<picon>" + general + mySkin + "</picon>", false, 0, 30, 40, true},
		{"skin before general", "<picon>" + mySkin + general + "</picon>", false, 0, 30, 40, true},
		{"another letter case", "<picon>" + general + skin("blue") + "</picon>", false, 0, 10, 20, false},
		{"general after an earlier skin read", "<picon>" + general + "</picon>", true, 0, START_X, START_Y, true},
		{"a missing number is 0", "<picon><values><framebuffer posy=\"12\"/></values></picon>", false, 0, 0, 12, false},
		{"elements out of place",
			"<picon><framebuffer posx=\"1\" posy=\"2\"/><values><skin name=\"Blue\" posx=\"5\" posy=\"6\"/></values>"
			"</picon>",
			false, 0, START_X, START_Y, false},
		{"Latin-1 without a declaration", "<picon>" + skin("H\xE9las") + general + "</picon>", false, 0, 10, 20, false},
		{"exactly two pieces", twoPieces, false, 0, 10, 20, false},
		{"malformed", "<picon><values></picon>", false, -1, START_X, START_Y, false},
		{"no element", "<?xml version=\"1.0\"?>", false, -1, START_X, START_Y, false},
		{"no file", "", false, -1, START_X, START_Y, false},
	};
	for (const Case& c : cases)
	{
		::remove(root.file(TABLE).c_str());
		if (!c.document.empty())
		{
			ASSERT_TRUE(root.writeFile(TABLE, c.document));
		}
		LogoPlace place;
		place.x = START_X;
		place.y = START_Y;
		place.skinSpecific = c.wasSkinSpecific;
		EXPECT_EQ(readLogoConfFile(root.file(TABLE).c_str(), "Blue", place), c.result) << c.what;
		EXPECT_EQ(place.x, c.x) << c.what;
		EXPECT_EQ(place.y, c.y) << c.what;
		EXPECT_EQ(place.skinSpecific, c.skinSpecific) << c.what;
	}
}

TEST_F(LogoConf, StartUpReadFillsTheGlobals)
{
	posx = START_X;
	posy = START_Y;
	formatted_skin = false;
	active_skin = "default";
	ASSERT_TRUE(root.writeFile(TABLE,
		"<picon><values><framebuffer posx=\"11\" posy=\"22\"/></values><pskins><skin "
		"name=\"default\" posx=\"33\" posy=\"44\"/></pskins></picon>"));
	EXPECT_EQ(readPiconTable(), 0);
	EXPECT_EQ(posx, 33);
	EXPECT_EQ(posy, 44);
	EXPECT_TRUE(formatted_skin);
}
} // namespace
