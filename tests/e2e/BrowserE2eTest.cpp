// Browsing a generated folder tree on the real server: what the box lists, in which
// order, what it says about the cursor, and what the screen shows.
#include <gtest/gtest.h>

#include <algorithm>

#include "E2eBox.h"
#include "MediaTree.h"
#include "ScreenShot.h"
#include "ServerProcess.h"

namespace
{
const char* const goUpHelp = "Go up one directory level";
const char* const enterHelp = "Enter directory";
// The parent row has no text; then folders, then files, each by unsigned bytes: upper
// case before lower case, and the UTF-8 name after every ASCII one.
const std::vector<std::string> topRows = {
	"", "Beta", "Zeta", "alpha", "A.mpg", "Zeta.mp3", "b.avi", "\xc3\xa9mission.mkv"};
const std::vector<std::string> betaRows = {"", "Deeper", "inner.avi"};
const size_t folderRowsOnTop = 4; // the parent row's icon is a folder too
const size_t fileRowsOnTop = 4;

// The pictures' folder body runs from light to dark orange; no other icon of a listing
// has a stretch of it as wide as a folder.
bool folderOrange(const ScreenShot::Rgb& p)
{
	return p.r > 190 && p.g > 110 && p.g < 220 && p.b < 120;
}
const int folderBodyWidth = 18;
// The icon column, measured from the window's client position: clear of the list's
// frame on its left and of the row text on its right.
const int iconColumnLeft = 15;
const int iconColumnRight = 55;
// A spot far right in a row, clear of icon and text: the row's background.
const int rowBackgroundX = 600;

struct Band
{
	int first, last;
};

// Screen rows from top down in which some stretch of the icon column is folder-orange
// over at least a folder's width, merged into bands of neighbouring rows.
std::vector<Band> folderBands(const ScreenShot& shot, int top, int left, int right)
{
	std::vector<Band> bands;
	for (int y = top; y < shot.height(); ++y)
	{
		int run = 0, best = 0;
		for (int x = left; x < right; ++x)
		{
			run = folderOrange(shot.at(x, y)) ? run + 1 : 0;
			best = std::max(best, run);
		}
		if (best < folderBodyWidth)
			continue;
		if (!bands.empty() && y - bands.back().last <= 2)
			bands.back().last = y;
		else
			bands.push_back({y, y});
	}
	return bands;
}

bool sameColour(const ScreenShot::Rgb& a, const ScreenShot::Rgb& b)
{
	return a.r == b.r && a.g == b.g && a.b == b.b;
}

// True when some pixel of the icon column in screen rows [top, bottom) differs from the
// row's own background.
bool iconDrawn(const ScreenShot& shot, int left, int right, int top, int bottom)
{
	for (int y = top; y < bottom; ++y)
	{
		const ScreenShot::Rgb background = shot.at(rowBackgroundX, y);
		for (int x = left; x < right; ++x)
			if (!sameColour(shot.at(x, y), background))
				return true;
	}
	return false;
}

class BrowserE2eTest : public ::testing::Test
{
protected:
	void SetUp() override
	{
		ASSERT_TRUE(media.ok());
		for (const char* dir : {"Beta/Deeper", "Zeta", "alpha"})
			ASSERT_TRUE(media.addDir(dir));
		for (const char* file : {"b.avi", "A.mpg", "Zeta.mp3", "\xc3\xa9mission.mkv", ".hidden.avi", "Beta/inner.avi"})
			ASSERT_TRUE(media.addFile(file));
		ASSERT_TRUE(server.start()) << server.error();
	}

	MediaTree media;
	ServerProcess server{{"--root", media.path()}};
};
} // namespace

TEST_F(BrowserE2eTest, ListsEntersAndLeavesFoldersWithIconsOnScreen)
{
	E2eBox box;
	box.serverPort(server.commandPort());
	box.snapshots();
	box.keys("sleep 300\nsnap top\ndown\nok\nsleep 200\nok\nsleep 200\nexit\n");
	BoxRun run = box.run();
	JournalQuery journal = box.journal();
	ASSERT_EQ(run.exitCode, 0) << run.output << journal.dump();

	// The first listing: the server's start folder, sorted for the box.
	const size_t firstTitle = journal.find("title", 0, JournalQuery::textIs(media.path()));
	ASSERT_NE(firstTitle, JournalQuery::npos) << journal.dump();
	const size_t firstList = journal.find("list", firstTitle);
	ASSERT_NE(firstList, JournalQuery::npos);
	EXPECT_EQ(journal[firstList]["rows"], nlohmann::json(topRows));
	EXPECT_EQ(journal[firstList].value("current", -1), 0);
	EXPECT_NE(journal.find("status", firstList, JournalQuery::textIs(goUpHelp)), JournalQuery::npos);

	// Down: the cursor on the first folder, said by the status bar and the front panel.
	const size_t down = journal.find("key", firstList);
	ASSERT_NE(down, JournalQuery::npos);
	ASSERT_EQ(journal[down].value("key", ""), "down");
	const size_t moved = journal.find("list", down);
	ASSERT_NE(moved, JournalQuery::npos);
	EXPECT_EQ(journal[moved].value("current", -1), 1);
	EXPECT_NE(journal.find("status", down, JournalQuery::textIs(enterHelp)), JournalQuery::npos) << journal.dump();
	EXPECT_NE(journal.find("lcd", down, JournalQuery::textIs("Beta")), JournalQuery::npos) << journal.dump();

	// OK on the folder lists it.
	const size_t inBeta = journal.find("title", down, JournalQuery::textIs(media / "Beta"));
	ASSERT_NE(inBeta, JournalQuery::npos) << journal.dump();
	const size_t betaList = journal.find("list", inBeta);
	ASSERT_NE(betaList, JournalQuery::npos);
	EXPECT_EQ(journal[betaList]["rows"], nlohmann::json(betaRows));
	EXPECT_NE(journal.find("status", inBeta, JournalQuery::textIs(goUpHelp)), JournalQuery::npos) << journal.dump();

	// OK on the parent row goes back: the parent entry's path names the listing.
	const size_t back = journal.find("title", betaList, JournalQuery::textIs(media / "Beta/.."));
	ASSERT_NE(back, JournalQuery::npos) << journal.dump();
	const size_t backList = journal.find("list", back);
	ASSERT_NE(backList, JournalQuery::npos);
	EXPECT_EQ(journal[backList]["rows"], nlohmann::json(topRows));

	// The snapshot shows the rows with their icons where the rows are: folder icons on
	// the parent row and the three folders, evenly spaced, then drawn file icons.
	ScreenShot top;
	ASSERT_TRUE(top.load(box.snapshot("top"))) << box.snapshot("top");
	const size_t shown = journal.find("window", 0,
		[](const nlohmann::json& j) { return j.value("class", "") == "eWindow" && j.value("op", "") == "show"; });
	ASSERT_NE(shown, JournalQuery::npos);
	// The window's client area: the title above it is drawn in a folder-like colour.
	const int windowX = journal[shown].value("x", 0), windowY = journal[shown].value("y", 0);
	const int left = windowX + iconColumnLeft, right = windowX + iconColumnRight;
	const std::vector<Band> bands = folderBands(top, windowY, left, right);
	std::string seen;
	for (const Band& b : bands)
		seen += " " + std::to_string(b.first) + ".." + std::to_string(b.last);
	ASSERT_EQ(bands.size(), folderRowsOnTop) << "screen rows with a folder icon:" << seen;
	const int pitch = bands[2].last - bands[1].last;
	ASSERT_GT(pitch, 0);
	for (size_t i = 1; i < bands.size(); ++i)
		EXPECT_NEAR(bands[i].last - bands[i - 1].last, pitch, 1) << "row " << i;
	// The current (parent) row is highlighted, the next one is not.
	EXPECT_FALSE(sameColour(top.at(rowBackgroundX, bands[0].last), top.at(rowBackgroundX, bands[1].last)));
	// Rows further down are probed over the half row that ends where a folder's body
	// would end: an icon covers it, the empty list does not.
	const int anchor = bands.back().last;
	auto iconInRow = [&](size_t rowsBelow) {
		const int bottom = anchor + int(rowsBelow) * pitch;
		return iconDrawn(top, left, right, bottom - pitch / 2, bottom + 1);
	};
	for (size_t k = 1; k <= fileRowsOnTop; ++k)
		EXPECT_TRUE(iconInRow(k)) << "file row " << k;
	EXPECT_FALSE(iconInRow(fileRowsOnTop + 1)) << "the row after the last file";
}
