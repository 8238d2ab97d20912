// The main window's remote control on the desktop host: both views, the seek step and
// its announcements, the colour keys, pause, the audio keys.
#include "Decoder.h"
#include "DesktopServices.h"
#include "OxleTestHost.h"
#include "eMessageBox.h"
#include "eOXLEEngine.h"
#include "eStatusBar.h"
#include "oxleGlobals.h"

using A = eOXLETestAccess;

namespace
{
const std::string startDir = "C:\\media";
// Sorted: the parent (0), a directory (1), then the files a (2), b (3), c (4).
const std::string listing = listDocument(dirElement("..", "C:\\") + dirElement("Films", "C:\\media\\Films") +
	fileElement("c.vob", "C:\\media\\c.vob") + fileElement("a.mpg", "C:\\media\\a.mpg") +
	fileElement("b.avi", "C:\\media\\b.avi"));
const int statusPlaying = eOXLEEngine::STATUS_PLAYING;
const int statusPaused = eOXLEEngine::STATUS_PAUSED;

std::string seekNotice(int minutes)
{
	return "Press RED to jump " + std::to_string(minutes) + " minute(s) reverse, or\nPress BLUE to jump " +
		std::to_string(minutes) + " minute(s) forward | Seek Info | 3";
}
const std::string skipNotice = "Press RED to skip reverse, or\nPress BLUE to skip forward | Skip Info | 3";

ePoint clientPosition(eOXLE& w)
{
	return w.getPosition() + w.getClientOffset();
}
} // namespace

class OxleKeys : public OxleWindowTest
{
protected:
	std::unique_ptr<eOXLE> openConnected()
	{
		scriptConnectedStart(startDir, listing);
		std::unique_ptr<eOXLE> w = open();
		w->show();
		return w;
	}
	// The playback view as a start leaves it, with the engine in status.
	void toPlayback(eOXLE& w, int status = statusPlaying)
	{
		A::browserVisible(w) = false;
		setEngineStatus(status);
	}
	int key(eOXLE& w, int number) { return press(w, *i_shortcutActions->map.entry(number)); }

	const eCursorActions& cursor = *i_cursorActions;
	const eShortcutActions& keys = *i_shortcutActions;
};

TEST_F(OxleKeys, ExitInPlaybackHidesTheVolumeBarFirstThenStops)
{
	std::unique_ptr<eOXLE> w = openConnected();
	toPlayback(*w);
	loadFile = "b.avi";
	volumeIsVisible = true;
	A::volumeLabel(*w).show();
	A::volumeBarLabel(*w).show();
	A::statusTimer(*w)->start(2000, true);
	A::infoTimer(*w)->start(100000, true);
	const size_t before = requests().size();

	EXPECT_EQ(press(*w, cursor.cancel), 1);
	EXPECT_FALSE(volumeIsVisible);
	EXPECT_FALSE(A::volumeLabel(*w).isShown());
	EXPECT_FALSE(A::volumeBarLabel(*w).isShown());
	EXPECT_EQ(engineStatus(), statusPlaying);
	EXPECT_FALSE(A::browserVisible(*w));
	EXPECT_TRUE(requestsSince(before).empty());

	EXPECT_EQ(press(*w, cursor.cancel), 1);
	EXPECT_EQ(engineStatus(), eOXLEEngine::STATUS_CLOSING);
	EXPECT_EQ(requestsSince(before), (std::vector<std::string>{"VLC|STP|NO"}));
	EXPECT_FALSE(A::statusTimer(*w)->isActive());
	EXPECT_FALSE(A::infoTimer(*w)->isActive());
	EXPECT_TRUE(waitStart);
	EXPECT_TRUE(A::waitTimer(*w)->isActive());
	EXPECT_TRUE(A::browserVisible(*w));
	EXPECT_EQ(clientPosition(*w), ePoint(75, 75));
	EXPECT_EQ(backgroundShows(), (std::vector<std::string>{testRootFile(OXLE_PICTURES "oxle.mvi")}));
	EXPECT_EQ(DesktopServices::lcdText(), "b.avi");
	EXPECT_EQ(closedWith(*w), notClosed);

	// A stream that already ended by itself is not stopped again.
	toPlayback(*w, eOXLEEngine::STATUS_STOPPED);
	const size_t later = requests().size();
	press(*w, cursor.cancel);
	EXPECT_TRUE(requestsSince(later).empty());
	EXPECT_EQ(engineStatus(), eOXLEEngine::STATUS_STOPPED);
	EXPECT_TRUE(A::browserVisible(*w));
}

TEST_F(OxleKeys, BrowsingDuringPlaybackAndBack)
{
	std::unique_ptr<eOXLE> w = openConnected();
	toPlayback(*w);
	A::statusTimer(*w)->start(2000, true);
	A::pauseBox(*w)->show();
	const size_t before = requests().size();

	// Down: the browser comes back while the stream goes on, without the status poll.
	EXPECT_EQ(press(*w, cursor.down), 1);
	EXPECT_TRUE(A::browserVisible(*w));
	EXPECT_EQ(clientPosition(*w), ePoint(75, 75));
	EXPECT_FALSE(A::statusTimer(*w)->isActive());
	EXPECT_FALSE(A::pauseBox(*w)->isShown());
	EXPECT_EQ(DesktopServices::lcdText(), "OXLE-MAIN");
	EXPECT_EQ(engineStatus(), statusPlaying);

	// Exit in the browser goes back to the stream; the poll stays stopped.
	i_isVisible = true;
	info->show();
	EXPECT_EQ(press(*w, cursor.cancel), 1);
	EXPECT_FALSE(A::browserVisible(*w));
	EXPECT_EQ(clientPosition(*w), ePoint(90, 800));
	EXPECT_FALSE(i_isVisible);
	EXPECT_FALSE(info->isShown());
	EXPECT_FALSE(A::statusTimer(*w)->isActive());
	EXPECT_EQ(engineStatus(), statusPlaying);
	EXPECT_TRUE(requestsSince(before).empty());
	EXPECT_EQ(closedWith(*w), notClosed);

	// Down and Up while not playing go to the list.
	setEngineStatus(statusPaused);
	press(*w, cursor.down);
	EXPECT_FALSE(A::browserVisible(*w));
}

TEST_F(OxleKeys, SeekStepAndItsAnnouncements)
{
	struct Case
	{
		bool playback;
		bool skipMode;
		std::vector<int> numbers;
		int jump;
		bool skipAfter;
		std::vector<std::string> notices;
	};
	const Case cases[] = {
		{true, false, {3}, 4, false, {seekNotice(4)}},
		{true, false, {3, 0}, 1, false, {seekNotice(4), seekNotice(1)}},
		// Key 2 stays silent up to a step of 9.
		{true, false, {2, 2, 2, 2}, 9, false, {}},
		{true, false, {2, 2, 2, 2, 2}, 11, false, {seekNotice(11)}},
		{true, false, {9, 9}, 1, false, {skipNotice, seekNotice(1)}},
		// A new step leaves skip mode; key 8 does not.
		{true, true, {5}, 6, false, {seekNotice(6)}},
		{true, true, {8}, 9, true, {skipNotice}},
		{true, false, {1, 4, 6, 7}, 19, false, {seekNotice(2), seekNotice(6), seekNotice(12), seekNotice(19)}},
		// Key 0 with a step of 1 is not the playback view's.
		{true, false, {0}, 1, false, {}},
		// The browser changes the step with 2, 5, 7 and 8 only.
		{false, false, {5, 7, 2, 8}, 23, false, {seekNotice(6), seekNotice(13), seekNotice(15), seekNotice(23)}},
		{false, false, {9}, 1, false, {}},
	};
	for (const Case& c : cases)
	{
		SetUp();
		useUnreadyServer();
		std::unique_ptr<eOXLE> w = open();
		if (c.playback)
			toPlayback(*w);
		seekskip = c.skipMode;
		for (int number : c.numbers)
			key(*w, number);
		const std::string label = ::testing::PrintToString(c.numbers);
		EXPECT_EQ(jump, c.jump) << label;
		EXPECT_EQ(seekskip, c.skipAfter) << label;
		EXPECT_EQ(notices(), c.notices) << label;
		EXPECT_FALSE(jump_changed) << label;
		if (!c.notices.empty())
		{
			EXPECT_EQ(sMode, c.notices.back() == skipNotice) << label;
		}
		if (!c.notices.empty() && c.notices.back() != skipNotice)
		{
			EXPECT_EQ(JumpInMinutes, c.jump) << label;
		}
		w.reset();
		TearDown();
	}
}

TEST_F(OxleKeys, KeyZeroCyclesTheAudioChannelInTheBrowser)
{
	std::unique_ptr<eOXLE> w = openConnected();
	std::vector<int> seen;
	for (int i = 0; i < 6; ++i)
	{
		EXPECT_EQ(key(*w, 0), 1);
		seen.push_back(audioChannel);
	}
	EXPECT_EQ(seen, (std::vector<int>{2, 3, 4, 5, 1, 2}));
	ASSERT_EQ(notices().size(), 6u);
	EXPECT_EQ(notices()[0], "Prefered audio channel: 2 | AudioChannel | 2");

	// Only while the seek step is 1.
	jump = jump_old = 3;
	key(*w, 0);
	EXPECT_EQ(audioChannel, 2);
	EXPECT_EQ(jump, 3);
	EXPECT_EQ(notices().size(), 6u);
}

TEST_F(OxleKeys, NumberKeysSetTheStartOffsetOfTheSelectedFile)
{
	struct Case
	{
		int offset;
		int number;
		int wanted;
	};
	const Case cases[] = {
		{4, 1, 4},
		{5, 1, 0},
		{12, 1, 7},
		{0, 4, 0},
		{3, 4, 2},
		{0, 3, 5},
		{600, 3, 605},
		{0, 6, 1},
		{99, 6, 100},
	};
	std::unique_ptr<eOXLE> w = openConnected();
	const int file = 3;
	ASSERT_EQ(A::playlist(*w)[file].name, "b.avi");
	for (const Case& c : cases)
	{
		A::currentIndex(*w) = file;
		A::playlist(*w)[file].startOffset = c.offset;
		EXPECT_EQ(key(*w, c.number), 1);
		EXPECT_EQ(A::playlist(*w)[file].startOffset, c.wanted) << c.offset << " key " << c.number;
		EXPECT_NE(
			A::listbox(*w)->getHelpText().find(eString::sprintf("Startoffset: %02dmin.", c.wanted)), eString::npos);
	}
	EXPECT_EQ(jump, 1);
	EXPECT_TRUE(notices().empty());

	// A directory has no start offset, and neither has anything without a server.
	A::currentIndex(*w) = 1;
	EXPECT_EQ(key(*w, 3), 0);
	CONNECTION = false;
	A::currentIndex(*w) = file;
	EXPECT_EQ(key(*w, 6), 0);
	EXPECT_EQ(A::playlist(*w)[file].startOffset, 100);
}

TEST_F(OxleKeys, SeekAndSkipDuringPlayback)
{
	std::unique_ptr<eOXLE> w = openConnected();
	toPlayback(*w);
	jump = jump_old = 4;
	const size_t before = requests().size();

	press(*w, keys.red);
	press(*w, keys.blue);
	press(*w, keys.blue);
	EXPECT_EQ(seek, 4);

	seekskip = true;
	A::currentIndex(*w) = 3;
	press(*w, keys.red); // to 2
	press(*w, keys.red); // to 1
	press(*w, keys.red); // nothing before the first file
	EXPECT_EQ(A::currentIndex(*w), 1);
	press(*w, keys.blue);
	EXPECT_EQ(A::currentIndex(*w), 1);

	// Not while paused.
	setEngineStatus(statusPaused);
	EXPECT_EQ(press(*w, keys.red), 1);
	EXPECT_EQ(press(*w, keys.blue), 0);

	EXPECT_EQ(requestsSince(before),
		(std::vector<std::string>{"VLC|REW|4", "VLC|FFW|4", "VLC|FFW|4", "VLC|PRV|NO", "VLC|PRV|NO", "VLC|NXT|NO"}));
	EXPECT_EQ(notices(),
		(std::vector<std::string>{"Seeking 4 min. reverse, please wait.... | Seek Info | 3",
			"Seeking 4 min. forward, please wait... | Seek Info | 3",
			"Seeking 4 min. forward, please wait... | Seek Info | 3",
			"Skipping reverse, please wait ... | Skip Info | 3", "Skipping reverse, please wait ... | Skip Info | 3",
			"Skipping forward, please wait... | Skip Info | 3"}));
	EXPECT_EQ(closedModals.size(), 6u);
}

TEST_F(OxleKeys, ColourKeysInTheBrowser)
{
	std::unique_ptr<eOXLE> w = openConnected();

	EXPECT_EQ(press(*w, keys.green), 1);
	EXPECT_EQ(A::listMode(*w), MODE_DVD);
	EXPECT_EQ(press(*w, keys.yellow), 1);
	EXPECT_EQ(A::listMode(*w), MODE_VCD);
	size_t before = requests().size();
	EXPECT_EQ(press(*w, keys.red), 1);
	EXPECT_EQ(requestsSince(before), (std::vector<std::string>{"RQS|STD|NO", "VLC|GFL|" + startDir}));
	EXPECT_EQ(A::listMode(*w), MODE_FILES);

	EXPECT_EQ(press(*w, keys.blue), 1);
	EXPECT_TRUE(switchButton);
	EXPECT_EQ(l_root->getText(), "Settings");
	EXPECT_EQ(l_svcd->getText(), "Infos");
	EXPECT_EQ(l_vcd->getText(), "...");
	EXPECT_EQ(l_dvd->getText(), "Back..");
	// Yellow lists the disc on the second page too.
	EXPECT_EQ(press(*w, keys.yellow), 1);
	EXPECT_EQ(A::listMode(*w), MODE_VCD);
	EXPECT_EQ(press(*w, keys.blue), 1);
	EXPECT_FALSE(switchButton);
	EXPECT_EQ(l_root->getText(), "File");
	EXPECT_EQ(l_dvd->getText(), "More..");

	// Without a server the keys that need one go to the list.
	CONNECTION = false;
	before = requests().size();
	EXPECT_EQ(press(*w, keys.green), 0);
	EXPECT_EQ(press(*w, keys.yellow), 0);
	EXPECT_EQ(press(*w, keys.red), 1);
	EXPECT_EQ(A::listMode(*w), MODE_VCD);
	EXPECT_TRUE(requestsSince(before).empty());
	EXPECT_TRUE(notices().empty());
}

TEST_F(OxleKeys, PauseAndReleaseWithTheColourKeys)
{
	std::unique_ptr<eOXLE> w = openConnected();
	toPlayback(*w);
	paused = true; // left over from an earlier release
	const size_t before = requests().size();

	EXPECT_EQ(press(*w, keys.yellow), 1);
	EXPECT_EQ(engineStatus(), eOXLEEngine::STATUS_PAUSED);
	EXPECT_TRUE(A::pauseBox(*w)->isShown());
	// A fresh pause is not released by the next tick.
	w->timerHandler();
	EXPECT_EQ(engineStatus(), eOXLEEngine::STATUS_PAUSED);
	EXPECT_TRUE(A::pauseBox(*w)->isShown());

	// The release: the box stays until the next status tick.
	EXPECT_EQ(press(*w, keys.yellow), 1);
	EXPECT_TRUE(paused);
	EXPECT_EQ(engineStatus(), eOXLEEngine::STATUS_PAUSED);
	EXPECT_TRUE(A::pauseBox(*w)->isShown());
	w->timerHandler();
	EXPECT_EQ(engineStatus(), statusPlaying);
	EXPECT_FALSE(paused);
	EXPECT_FALSE(A::pauseBox(*w)->isShown());
	EXPECT_TRUE(A::statusTimer(*w)->isActive());

	// Green releases as well.
	press(*w, keys.yellow);
	EXPECT_EQ(press(*w, keys.green), 1);
	EXPECT_TRUE(paused);
	EXPECT_EQ(requestsSince(before), (std::vector<std::string>(4, "VLC|PAU|NO")));
	// The pause box is the only notice, and it is never run modally.
	ASSERT_FALSE(notices().empty());
	for (const std::string& notice : notices())
		EXPECT_EQ(notice, "Stream paused. Press yellow or green to release. | Information | 0");
	EXPECT_TRUE(closedModals.empty());
}

TEST_F(OxleKeys, GreenCyclesTheEndOfPlaylistAction)
{
	std::unique_ptr<eOXLE> w = openConnected();
	toPlayback(*w);
	const char* const texts[] = {
		"After reaching Playlists End, your dreambox will restart Enigma",
		"After reaching Playlists End, your dreambox will restart itself",
		"After reaching Playlists End, your dreambox will shut Down",
		"ShutDown Function disabled",
	};
	std::vector<std::string> wanted;
	for (int i = 0; i < 4; ++i)
	{
		EXPECT_EQ(press(*w, keys.green), 1);
		EXPECT_EQ(shutDown, (i + 1) % 4);
		wanted.push_back(std::string(texts[i]) + " | ShutDown Info | 4");
	}
	EXPECT_EQ(notices(), wanted);

	// Nothing to do in other states, and nothing without a server.
	setEngineStatus(eOXLEEngine::STATUS_STARTED);
	EXPECT_EQ(press(*w, keys.green), 0);
	EXPECT_EQ(press(*w, keys.yellow), 0);
	setEngineStatus(statusPlaying);
	CONNECTION = false;
	EXPECT_EQ(press(*w, keys.green), 0);
	EXPECT_EQ(press(*w, keys.yellow), 0);
	EXPECT_EQ(shutDown, 0);
}

TEST_F(OxleKeys, AudioKeyTogglesAc3ByTheFileKind)
{
	struct Case
	{
		const char* name;
		int type;
	};
	const Case cases[] = {
		{"VTS_01_1.vob", 3}, {"dvd", 3}, {"dvdsimple title", 3}, {"film.avi", 1}, {"film.VOB", 1}, {"ob", 1}, {"", 1}};
	std::unique_ptr<eOXLE> w = openConnected();
	for (const Case& c : cases)
	{
		toPlayback(*w);
		loadFile = c.name;
		EXPECT_EQ(press(*w, cursor.right), 1);
		EXPECT_EQ(Decoder::parms.audio_type, c.type) << c.name;
		EXPECT_TRUE(AC_3);
		EXPECT_EQ(press(*w, cursor.right), 1);
		EXPECT_EQ(Decoder::parms.audio_type, 0) << c.name;
		EXPECT_FALSE(AC_3);
	}
	EXPECT_EQ(journal("decoder").size(), 2 * std::size(cases));

	// The browser takes the key and does nothing; without a server it goes to the list.
	A::browserVisible(*w) = true;
	EXPECT_EQ(press(*w, cursor.right), 1);
	CONNECTION = false;
	A::browserVisible(*w) = false;
	press(*w, cursor.right);
	EXPECT_FALSE(AC_3);
	EXPECT_EQ(journal("decoder").size(), 2 * std::size(cases));
}

TEST_F(OxleKeys, OverlayWindowsOpenFromTheirKeys)
{
	std::unique_ptr<eOXLE> w = openConnected();
	press(*w, cursor.help);
	EXPECT_EQ(closedModals, (std::vector<std::string>{"eWindow Help"}));

	// File information for the selected entry, on the second page.
	press(*w, keys.blue);
	A::currentIndex(*w) = 0;
	press(*w, keys.green);
	A::currentIndex(*w) = 3;
	size_t mark = requests().size();
	press(*w, keys.green);
	EXPECT_EQ(requestsSince(mark), (std::vector<std::string>{"RQS|NFO|C:\\\\media\\\\b.avi"}));
	EXPECT_TRUE(w->isShown());
	press(*w, keys.red);
	EXPECT_TRUE(w->isShown());
	ASSERT_EQ(closedModals.size(), 3u);
	EXPECT_EQ(closedModals[1], "eWindow File Info");
	EXPECT_EQ(closedModals[2], "eWindow OXLE Settings");

	// During playback: the infobar and the stream window, only while playing.
	toPlayback(*w);
	press(*w, cursor.ok);
	press(*w, cursor.up);
	setEngineStatus(statusPaused);
	press(*w, cursor.ok);
	press(*w, cursor.up);
	ASSERT_EQ(closedModals.size(), 5u);
	EXPECT_EQ(closedModals[3].rfind("eOXLEInfo", 0), 0u) << closedModals[3];
	EXPECT_EQ(closedModals[4], "eWindow StreamInfo");
	EXPECT_FALSE(infoIsVisible);
}
