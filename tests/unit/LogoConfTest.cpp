// The picon table: which position wins and what counts as read, as the start-up read
// leaves them in the plugin's globals.
#include <string>
#include <tuple>

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
	const std::string general = "<values><framebuffer posx=\"10\" posy=\"20\"/></values>";
	const std::string mySkin = "<pskins><skin name=\"Blue\" posx=\"30\" posy=\"40\"/></pskins>";
	// The file is read in pieces of 1024 bytes: a document of exactly two ends on a piece.
	const std::string end = "--></picon>";
	std::string twoPieces = "<picon>" + general + "<!--";
	twoPieces += std::string(2048 - twoPieces.size() - end.size(), '.') + end;
	// what, the file (empty: none), skin-specific before, result, x, y, skin-specific after
	const std::tuple<const char*, std::string, bool, int, int, int, bool> cases[] = {
		{"general only", "<picon>" + general + "</picon>", false, 0, 10, 20, false},
		{"skin after general", "<picon>" + general + mySkin + "</picon>", false, 0, 30, 40, true},
		{"skin before general", "<picon>" + mySkin + general + "</picon>", false, 0, 30, 40, true},
		{"another letter case", "<picon><pskins><skin name=\"blue\" posx=\"1\" posy=\"2\"/></pskins></picon>", false, 0,
			START_X, START_Y, false},
		{"general after an earlier skin read", "<picon>" + general + "</picon>", true, 0, START_X, START_Y, true},
		{"exactly two pieces", twoPieces, false, 0, 10, 20, false},
		{"malformed", "<picon><values></picon>", false, -1, START_X, START_Y, false},
		{"no file", "", false, -1, START_X, START_Y, false},
	};
	active_skin = "Blue";
	for (const auto& [what, document, wasSkinSpecific, result, x, y, skinSpecific] : cases)
	{
		::remove(root.file(TABLE).c_str());
		EXPECT_TRUE(document.empty() || root.writeFile(TABLE, document));
		posx = START_X;
		posy = START_Y;
		formatted_skin = wasSkinSpecific;
		EXPECT_EQ(readPiconTable(), result) << what;
		EXPECT_EQ(posx, x) << what;
		EXPECT_EQ(posy, y) << what;
		EXPECT_EQ(formatted_skin, skinSpecific) << what;
	}
}
} // namespace
