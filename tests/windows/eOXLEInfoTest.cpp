// The infobar on the desktop host: what it shows and hides when it opens, its keys, the
// title scroll, its clock and closing by itself.
#include "InfobarFixture.h"

using namespace infobartest;

namespace
{
TEST_F(Infobar, OpensFilledFromTheStatusQuery)
{
	eOXLEInfo w;
	EXPECT_EQ(server->requests(), std::vector<std::string>{"VLC|GTI|NO"});

	struct Field
	{
		const char* name;
		const char* text;
	};
	const Field fields[] = {
		{"e_now_title", "Holiday.avi"},
		{"e_next_title", "Next.mpg"},
		{"pro_name", "CODEC: mpeg2video"},
		{"videoformat", "720x576"},
		{"e_now_duration", "+80 min"},
		{"e_next_duration", "+0 min"},
		{"e_now_time", "20:15"},
		{"e_next_time", "21:45"},
		{"date", "VLC Mode"},
		{"ch_number", "2.0.0"},
		{"description", "2.0.0"},
		{"ch_name", "Seek Mode activated"},
		{"red_text", "REW 1 min."},
		{"green_text", "FFW 1 min."},
		{"yellow_text", "Vol Down"},
		{"blue_text", "Vol Up"},
		{"snr_text", "SNR:"},
		{"agc_text", "AGC:"},
		{"ber_text", "BER:"},
	};
	for (const Field& f : fields)
		EXPECT_EQ(text(w, f.name), f.text) << f.name;
	EXPECT_EQ(startTime, "20:15");
	EXPECT_EQ(nextTime, "21:45");
	EXPECT_TRUE(infoIsVisible);
	EXPECT_EQ(DesktopServices::lcdText(), "Holiday.avi");

	for (const char* name : {"dvbInfoBar", "red_text", "green_text", "yellow_text", "blue_text", "progress_bar",
			 "e_now_title", "pro_name", "fulltime"})
		EXPECT_TRUE(shown(w, name)) << name;
	for (const char* name : {"dvrInfoBar", "fileInfoBar", "fileinfos", "recStatus", "progress_event", "fc_text",
			 "cam_info", "snr_text", "agc_num", "g_ber_progress", "osd_dolby_on", "osd_format_off",
			 "button_red_enabled", "button_blue_disabled", "beta_emm", "conax_no", "nds_ecm"})
		EXPECT_FALSE(shown(w, name)) << name;

	auto* bar = dynamic_cast<eProgress*>(w.search("progress_bar"));
	ASSERT_NE(bar, nullptr);
	EXPECT_EQ(bar->getPerc(), 11);
	EXPECT_EQ(w.getPosition(), ePoint(SKIN_BAR_X, SKIN_BAR_Y));
	EXPECT_TRUE(A::titleTimer(w)->isActive());
	EXPECT_TRUE(A::clockTimer(w)->isActive());
	EXPECT_FALSE(A::logo(w).isShown());
}

TEST_F(Infobar, LegendFollowsSkipOrSeekMode)
{
	struct Case
	{
		bool skip;
		int minutes;
		const char *mode, *red, *green;
	};
	const Case cases[] = {
		{true, 3, "Skip Mode activated", "Skip REW", "Skip FFW"},
		{false, 5, "Seek Mode activated", "REW 5 min.", "FFW 5 min."},
	};
	for (const Case& c : cases)
	{
		sMode = c.skip;
		JumpInMinutes = c.minutes;
		eOXLEInfo w;
		EXPECT_EQ(text(w, "ch_name"), c.mode);
		EXPECT_EQ(text(w, "red_text"), c.red);
		EXPECT_EQ(text(w, "green_text"), c.green);
	}
}

TEST_F(Infobar, WithoutAStatusShowsUnknownsAndTheStartTimeAsEnd)
{
	for (const char* reply : {"", "+nok", "<broken"})
	{
		setStatus(reply);
		eOXLEInfo w;
		EXPECT_EQ(text(w, "pro_name"), "CODEC: unknown") << reply;
		EXPECT_EQ(text(w, "videoformat"), "unknown") << reply;
		EXPECT_EQ(text(w, "e_now_duration"), "+0 min") << reply;
		EXPECT_EQ(text(w, "e_next_time"), "20:15") << reply;
		auto* bar = dynamic_cast<eProgress*>(w.search("progress_bar"));
		ASSERT_NE(bar, nullptr);
		EXPECT_EQ(bar->getPerc(), 0);
	}
}

TEST_F(Infobar, ClosesItselfOnTheSeventyFifthTitleTick)
{
	eOXLEInfo w;
	for (int tick = 1; tick < selfCloseTicks; ++tick)
		w.actualize_EinNow();
	EXPECT_TRUE(infoIsVisible);
	EXPECT_NE(A::titleTimer(w), nullptr);
	w.actualize_EinNow();
	EXPECT_FALSE(infoIsVisible);
	EXPECT_EQ(A::titleTimer(w), nullptr);
	// The close was requested already: the modal loop ends at once.
	EXPECT_EQ(w.exec(), 0);
}

TEST_F(Infobar, ClosesItselfInTheMainLoopWhileTheTitleScrolls)
{
	loadFile = NAME_26;
	eOXLEInfo w;
	std::set<std::string> titles;
	eTimer sampler(eApp);
	sampler.timeout.connect([&] { titles.insert(A::nowTitle(w)->getText()); });
	sampler.start(100, false);
	bool guardFired = false;
	EXPECT_EQ(runModal(
				  w, 10, [] {}, guardFired),
		0);
	EXPECT_FALSE(guardFired) << "the infobar did not close by itself";
	EXPECT_FALSE(infoIsVisible);
	EXPECT_TRUE(titles.count("fghijklmnopqrstuvwxyz")) << "never scrolled to its shortest";
	EXPECT_TRUE(titles.count("    abcdefghijklmnopqrstuvwxyz")) << "never came back with blanks";
}

TEST_F(Infobar, OkAndExitClose)
{
	for (const char* key : {"ok", "exit"})
	{
		eOXLEInfo w;
		bool guardFired = false;
		EXPECT_EQ(runModal(
					  w, 50, [key] { KeyInput::press(key); }, guardFired),
			0)
			<< key;
		EXPECT_FALSE(guardFired) << key;
		EXPECT_FALSE(infoIsVisible) << key;
		EXPECT_EQ(A::titleTimer(w), nullptr) << key;
	}
}

TEST_F(Infobar, YellowAndBlueChangeTheVolumeOtherKeysNothing)
{
	eAVSwitch* avs = eAVSwitch::getInstance();
	avs->changeVolume(1, 30);
	eOXLEInfo w;
	std::vector<int> volumes;
	bool openAfterKeys = false;
	bool guardFired = false;
	runModal(
		w, 50,
		[&] {
			KeyInput::press("yellow");
			volumes.push_back(avs->getVolume());
			KeyInput::press("blue");
			KeyInput::press("blue");
			volumes.push_back(avs->getVolume());
			for (const char* key : {"red", "green", "up", "down", "left", "help", "5", "0"})
				KeyInput::press(key);
			volumes.push_back(avs->getVolume());
			openAfterKeys = ModalStack::top() == &w && infoIsVisible;
			KeyInput::press("exit");
		},
		guardFired);
	EXPECT_FALSE(guardFired);
	EXPECT_EQ(volumes, (std::vector<int>{31, 29, 29}));
	EXPECT_TRUE(openAfterKeys);

	const eAction* others[] = {&i_shortcutActions->red, &i_cursorActions->help, &i_shortcutActions->number7};
	for (const eAction* action : others)
		EXPECT_EQ(press(w, *action), 1) << action->getIdentifier();
}

TEST_F(Infobar, TitleScrollsOnScreenAndFrontPanelOnlyAboveTwentyFiveBytes)
{
	struct Case
	{
		const char* name;
		std::vector<std::string> afterTicks;
	};
	const Case cases[] = {
		{NAME_25, {NAME_25, NAME_25, NAME_25}},
		{NAME_26, {NAME_26, "bcdefghijklmnopqrstuvwxyz", "cdefghijklmnopqrstuvwxyz"}},
	};
	for (const Case& c : cases)
	{
		loadFile = c.name;
		{
			eOXLEInfo w;
			for (const std::string& expected : c.afterTicks)
			{
				w.actualize_EinNow();
				EXPECT_EQ(text(w, "e_now_title"), expected) << c.name;
				EXPECT_EQ(DesktopServices::lcdText(), expected) << c.name;
			}
		}
		// Closing leaves the whole name on the front panel.
		EXPECT_EQ(DesktopServices::lcdText(), c.name);
	}
}

TEST_F(Infobar, ClockBlinksOnlyOnPictureStyleImages)
{
	for (bool gemini : {true, false})
	{
		isGemini = gemini;
		eOXLEInfo w;
		std::vector<bool> colons;
		for (int i = 0; i < 4; ++i)
		{
			w.updateTime();
			const std::string shown = A::fulltime(w)->getText();
			ASSERT_EQ(shown.size(), 8u);
			EXPECT_EQ(A::time(w)->getText(), shown);
			colons.push_back(shown[2] == ':' && shown[5] == ':');
			EXPECT_TRUE(colons.back() || (shown[2] == '.' && shown[5] == '.')) << shown;
		}
		const std::vector<bool> blinking = {false, true, false, true}, steady = {false, false, false, false};
		EXPECT_EQ(colons, gemini ? blinking : steady);
		EXPECT_TRUE(A::clockTimer(w)->isActive());
	}
}

} // namespace
