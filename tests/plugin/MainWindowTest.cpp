// The main window where the journal cannot see the fault.
#include <ctime>
#include <tuple>

#include "Decoder.h"
#include "WindowTest.h"
#include "eAVSwitch.h"

namespace
{
const std::string LISTING = listDocument(dirElement("..", "C:\\") + dirElement("Films", "C:\\media\\Films") +
	fileElement("a.mpg", "C:\\media\\a.mpg") + fileElement("b.avi", "C:\\media\\b.avi"));
} // namespace

TEST_F(OxleWindowTest, TheInfoDelayIsReadInMinutesAndHeldWithinAnInt)
{
	const std::tuple<int, int, int, int> cases[] = {
		// stored delay and autoinfo (ABSENT: not stored), AUTOINFO and INFODELAY after the start
		{ABSENT, ABSENT, 0, 300000}, {0, 1, 0, 300000}, {2, ABSENT, 1, 120000},
		{40000, 1, 1, 35791 * 60000}, // minutes beyond an int of milliseconds
	};
	for (const auto& [infodelay, autoinfo, wantAutoinfo, wantDelayMs] : cases)
	{
		store(OXLE_KEY("infodelay"), infodelay);
		store(OXLE_KEY("autoinfo"), autoinfo);
		AUTOINFO = 1;
		openUnconnected();
		EXPECT_FALSE(CONNECTION); // a player that is not ready is no server
		EXPECT_EQ(AUTOINFO, wantAutoinfo) << infodelay;
		EXPECT_EQ(INFODELAY, wantDelayMs) << infodelay;
	}
}

TEST_F(OxleWindowTest, ExitBeforeTheGuardsFirstRunLeavesTheVolumeAlone)
{
	std::unique_ptr<eOXLE> w = openUnconnected();
	A::timerListTimer(*w)->stop();
	eAVSwitch::getInstance()->changeVolume(1, 17);
	w->show();
	eApp->post([&w] { HostTestEnv::press(*w, i_cursorActions->cancel); });
	EXPECT_EQ(w->exec(), 0);
	w->hide();
	// The host's volume is still the viewer's own; there is no plugin volume to keep.
	EXPECT_EQ(eAVSwitch::getInstance()->getVolume(), 17);
	EXPECT_EQ(HostTestEnv::configInt(OXLE_KEY("volume")), HostTestEnv::ABSENT_INT);
}

TEST_F(OxleWindowTest, TheInformationLabelShowsTheBoxTimeAndTheMinutesLeft)
{
	std::unique_ptr<eOXLE> w = openUnconnected();
	reply("VLC|GTI|NO", "<?xml version=\"1.0\"?>\n<status><time>600</time><length>5400</length></status>");
	eDVB::getInstance()->time_difference = 7200;
	std::tm before{}, after{};
	const std::time_t now = std::time(nullptr) + 7200;
	w->showInfo();
	const std::time_t later = std::time(nullptr) + 7200;
	localtime_r(&now, &before);
	localtime_r(&later, &after);
	EXPECT_TRUE(info->getText() == eString::sprintf("%02d:%02d -- 80min.", before.tm_hour, before.tm_min) ||
		info->getText() == eString::sprintf("%02d:%02d -- 80min.", after.tm_hour, after.tm_min))
		<< info->getText();
	EXPECT_TRUE(info->isShown() && i_isVisible);
	w->closeInfo();
	EXPECT_FALSE(info->isShown() || i_isVisible);
}

TEST_F(OxleWindowTest, TheVolumeBarShowsDuringPlaybackOnlyAndNeverOutgrowsItsPicture)
{
	std::unique_ptr<eOXLE> w = openUnconnected();
	ASSERT_TRUE(isGemini);
	eAVSwitch::getInstance()->changeVolume(1, 10);
	EXPECT_EQ(oxle_volume, 10);
	EXPECT_FALSE(volumeIsVisible);

	A::browserVisible(*w) = false;
	const int height = A::volumeBarLabel(*w).getPixmap()->getSize().height();
	struct Case
	{
		int mute, volume, width;
	};
	// Volume is attenuation: 0 is the whole bar. The host's values beyond 0..63 are held.
	const Case cases[] = {{0, 0, gx}, {0, 63, 0}, {0, 31, gx * 50 / 100}, {0, -20, gx}, {0, 500, 0}, {1, 0, 0}};
	for (const Case& c : cases)
	{
		w->updateVolume(c.mute, c.volume);
		EXPECT_EQ(A::volumeBarLabel(*w).getSize(), eSize(c.width, height)) << c.volume;
		EXPECT_TRUE(A::volumeBarLabel(*w).isShown() && A::volumeLabel(*w).isShown()) << c.volume;
	}
	w->hideVolumeBar();
	EXPECT_FALSE(volumeIsVisible || A::volumeLabel(*w).isShown() || A::volumeBarLabel(*w).isShown());
}

TEST_F(OxleWindowTest, RedSeeksBackAndAFreshPauseIsNotUndoneByAnEarlierRelease)
{
	std::unique_ptr<eOXLE> w = openConnected(LISTING);
	toPlayback(*w);
	jump = jump_old = 4;
	HostTestEnv::press(*w, i_shortcutActions->red);
	EXPECT_EQ(sent(), std::vector<std::string>{"VLC|REW|4"});
	mark();
	paused = true; // a release whose tick never came

	EXPECT_EQ(HostTestEnv::press(*w, i_shortcutActions->yellow), 1);
	w->timerHandler();
	EXPECT_EQ(status(), PAUSED);
	EXPECT_TRUE(A::pauseBox(*w)->isShown());

	// The release: the server is told at once, the box side at the next tick.
	HostTestEnv::press(*w, i_shortcutActions->yellow);
	EXPECT_EQ(status(), PAUSED);
	w->timerHandler();
	EXPECT_EQ(status(), PLAYING);
	EXPECT_FALSE(A::pauseBox(*w)->isShown());
	EXPECT_TRUE(A::statusTimer(*w)->isActive());
	EXPECT_EQ(sent(), std::vector<std::string>(2, "VLC|PAU|NO"));
	// The pause box is never run modally: only the seek notice was.
	EXPECT_EQ(closedModals, std::vector<std::string>{"Seek Info"});
}

TEST_F(OxleWindowTest, TheAudioKeyTogglesAc3ByTheKindOfSource)
{
	struct Case
	{
		const char* name;
		int type;
	};
	// A DVD's: a name ending in "vob" or beginning with "dvd".
	const Case cases[] = {{"VTS_01_1.vob", 3}, {"dvd title", 3}, {"film.VOB", 1}, {"ob", 1}};
	std::unique_ptr<eOXLE> w = openConnected(LISTING);
	toPlayback(*w);
	for (const Case& c : cases)
	{
		loadFile = c.name;
		EXPECT_EQ(HostTestEnv::press(*w, i_cursorActions->right), 1);
		EXPECT_EQ(Decoder::parms.audio_type, c.type) << c.name;
		HostTestEnv::press(*w, i_cursorActions->right);
		EXPECT_EQ(Decoder::parms.audio_type, 0) << c.name;
	}
}
