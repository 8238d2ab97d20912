// The overlay windows where the journal cannot see the fault.
#include "TempBoxRoot.h"
#include "WindowTest.h"
#include "eCheckbox.h"
#include "eNumber.h"
#include "eOXLEInfo.h"
#include "eOXLESettings.h"
#include "eProgress.h"
#include "eSlider.h"
#include "eTextInputField.h"

struct eOXLEInfoTestAccess
{
	static eTimer* titleTimer(eOXLEInfo& w) { return w.titleTimer.get(); }
};

struct eOXLESettingsTestAccess
{
	static eSlider* slider(eOXLESettings& w) { return w.bufferSlider; }
	static eLabel* sliderLabel(eOXLESettings& w) { return w.bufferLabel; }
	static eCheckbox* autoinfo(eOXLESettings& w) { return w.intervalInfos; }
	static eTextInputField* password(eOXLESettings& w) { return w.passwordField; }
};

namespace
{
using Info = eOXLEInfoTestAccess;
using Settings = eOXLESettingsTestAccess;
const char GEMINI[] = "/var/etc/Gemini.conf";
const char LOGO[] = OXLE_PICTURES "oxle.png";
const char DEFAULT_LOGO[] = "/var/tuxbox/config/enigma/pictures/picon/default.png";
const int SKIN_BAR_X = 0, SKIN_BAR_Y = 400, SKIN_EVENT_BAR_WIDTH = 500, SELF_CLOSE_TICK = 75;
const char* const OFFSET_KEYS[] = {
	"/extras/ezap_offset_x", "/enigma/infobar_offset_x", "/extras/ezap_offset_y", "/enigma/infobar_offset_y"};

std::string playStatus(int time, int length, int position)
{
	return "<?xml version=\"1.0\"?>\n<root><time>" + std::to_string(time) + "</time><length>" + std::to_string(length) +
		"</length><position>" + std::to_string(position) +
		"</position><information><category name=\"Stream 1\"><info name=\"Codec\">mp3</info></category><category "
		"name=\"Stream 0\"><info name=\"Codec\">mpeg2video</info><info name=\"Aufl\xC3\xB6sung\">720x576</info>"
		"</category></information></root>";
}

std::string text(eWidget& w, const char* name)
{
	eWidget* found = w.search(name);
	return found ? std::string(found->getText()) : "<missing>";
}

bool shown(eWidget& w, const char* name)
{
	eWidget* found = w.search(name);
	return found && found->isShown();
}

// The main window's fixture, and the globals as a playing file has them.
class OverlayTest : public OxleWindowTest
{
protected:
	void SetUp() override
	{
		OxleWindowTest::SetUp();
		reply("VLC|GTI|NO", playStatus(600, 5400, 11));
		loadFile = "Holiday.avi";
		nextFile = "Next.mpg";
		startHour = 20;
		startMin = 15;
		hasPicon = false;
		JumpInMinutes = 1;
		f_support = true;
		for (const char* file : {GEMINI, LOGO, DEFAULT_LOGO})
			std::remove(HostTestEnv::root().file(file).c_str());
	}
	void TearDown() override
	{
		for (const char* key : OFFSET_KEYS)
			eConfig::getInstance()->delKey(key);
		OxleWindowTest::TearDown();
	}
};
} // namespace

TEST_F(OverlayTest, TheInfobarIsFilledFromThePlayStatusAndHidesTheChannelParts)
{
	struct Case
	{
		std::string status;
		bool skip;
		std::vector<std::string> texts; // pro_name videoformat e_now_duration e_next_time ch_name red_text
		int percent;
	};
	const Case cases[] = {
		{playStatus(600, 5400, 11), false,
			{"CODEC: mpeg2video", "720x576", "+80 min", "21:45", "Seek Mode activated", "REW 3 min."}, 11},
		{"+nok", true, {"CODEC: unknown", "unknown", "+0 min", "20:15", "Skip Mode activated", "Skip REW"}, 0},
	};
	const char* const names[] = {"pro_name", "videoformat", "e_now_duration", "e_next_time", "ch_name", "red_text"};
	for (const Case& c : cases)
	{
		reply("VLC|GTI|NO", c.status);
		sMode = c.skip;
		JumpInMinutes = 3;
		eOXLEInfo w;
		std::vector<std::string> texts;
		for (const char* name : names)
			texts.push_back(text(w, name));
		EXPECT_EQ(texts, c.texts);
		EXPECT_EQ(text(w, "e_now_title"), "Holiday.avi");
		EXPECT_EQ(text(w, "e_now_time"), "20:15");
		EXPECT_EQ(dynamic_cast<eProgress*>(w.search("progress_bar"))->getPerc(), c.percent);
		for (const char* name : {"dvbInfoBar", "red_text", "progress_bar", "e_now_title"})
			EXPECT_TRUE(shown(w, name)) << name;
		for (const char* name : {"dvrInfoBar", "progress_event", "snr_text", "g_ber_progress", "osd_dolby_on",
				 "button_red_enabled", "conax_no"})
			EXPECT_FALSE(shown(w, name)) << name;
		EXPECT_TRUE(infoIsVisible);
		EXPECT_EQ(w.getPosition(), ePoint(SKIN_BAR_X, SKIN_BAR_Y));
	}
	EXPECT_FALSE(infoIsVisible);
}

TEST_F(OverlayTest, TheInfobarMovesByTheHostsOffsetsDrawsAPictureStyleBarAndClosesOnTheSeventyFifthTick)
{
	// Of each pair the first key wins when it is not 0.
	const int offsets[] = {12, 40, 0, -30};
	for (size_t i = 0; i < std::size(OFFSET_KEYS); ++i)
		eConfig::getInstance()->setKey(OFFSET_KEYS[i], offsets[i]);
	ASSERT_TRUE(HostTestEnv::root().writeFile(GEMINI, ""));
	reply("VLC|GTI|NO", playStatus(0, 100, 150));
	eOXLEInfo w;
	EXPECT_EQ(w.getPosition(), ePoint(SKIN_BAR_X + 12, SKIN_BAR_Y - 30));
	EXPECT_TRUE(shown(w, "progress_event"));
	EXPECT_FALSE(shown(w, "progress_bar"));
	EXPECT_EQ(w.search("progress_event")->getSize().width(), SKIN_EVENT_BAR_WIDTH);
	for (int tick = 1; tick < SELF_CLOSE_TICK; ++tick)
		w.actualize_EinNow();
	EXPECT_TRUE(infoIsVisible);
	w.actualize_EinNow();
	EXPECT_FALSE(infoIsVisible);
	EXPECT_EQ(Info::titleTimer(w), nullptr);
	EXPECT_EQ(w.exec(), 0); // the close was asked for already
}

TEST_F(OverlayTest, TheSettingsWindowOpensWithTheStoredValuesAndNeverStoresThePassword)
{
	struct Case
	{
		int buffer, autoinfo; // as stored; ABSENT: not stored
		int slider;
		const char* label;
		int setDelay, wantDelayMs;
	};
	const Case cases[] = {
		{ABSENT, ABSENT, 16, "Buffersize [64%]:", 7, 420000},
		{2, 1, 16, "Buffersize [64%]:", 0, 300000},  // 0 minutes is taken as 5
		{25, 0, 25, "Buffersize [100%]:", 1, 60000}, // a stored size above 25 is the scenario's
	};
	for (const Case& c : cases)
	{
		store(OXLE_KEY("buffersize"), c.buffer);
		store(OXLE_KEY("autoinfo"), c.autoinfo);
		{
			eOXLESettings w;
			EXPECT_EQ(Settings::slider(w)->getValue(), c.slider) << c.buffer;
			EXPECT_EQ(Settings::sliderLabel(w)->getText(), c.label) << c.buffer;
			EXPECT_EQ(Settings::autoinfo(w)->isChecked(), c.autoinfo == 1) << c.buffer;
			// The number shows only with the interval box checked.
			EXPECT_EQ(infoDelay->isShown() && l_delay->isShown(), c.autoinfo == 1) << c.buffer;
			infoDelay->setNumber(c.setDelay);
			Settings::password(w)->setText("4711");
		}
		EXPECT_EQ(infoDelay, nullptr);
		EXPECT_EQ(INFODELAY, c.wantDelayMs);
		EXPECT_EQ(myPass, "4711");
		EXPECT_EQ(HostTestEnv::root().readFile(TempBoxRoot::CONFIG_FILE).find("4711"), std::string::npos);
	}
}
