// The main window on the desktop host: start-up conversation, settings, leaving.
#include <filesystem>
#include <fstream>

#include "KeyInput.h"
#include "ModalStack.h"
#include "OxleTestHost.h"
#include "eAVSwitch.h"
#include "eConfig.h"
#include "eDesktopSkin.h"
#include "eListBoxEntryOXLE.h"
#include "eMainloop.h"
#include "eMessageBox.h"
#include "eProgress.h"
#include "eServiceInterface.h"
#include "eStatusBar.h"
#include "eTCP.h"
#include "oxleGlobals.h"

using A = eOXLETestAccess;

namespace
{
const std::string startDir = "C:\\media";
const std::string startListing = listDocument(dirElement("..", "C:\\media\\..") +
	dirElement("Films", "C:\\media\\Films") + fileElement("clip.mpg", "C:\\media\\clip.mpg"));
const char noConnectionTitle[] = "OXLE: NO CONNECTION TO OXLE_X86 - PLEASE CHECK";

std::vector<std::string> rowTexts(eOXLE& w)
{
	std::vector<std::string> out;
	for (eListBoxEntry* e : A::listbox(w)->getEntries())
		out.push_back(static_cast<eListBoxEntryOXLE*>(e)->getText());
	return out;
}

// Runs the window's modal loop with work posted into it; a guard timer ends a loop
// that the work failed to end, so that a broken close shows up as a wrong code.
int execWith(eOXLE& w, std::function<void()> work)
{
	const int guardCode = 99;
	eTimer guard(eApp);
	guard.timeout.connect([&w] { w.close(guardCode); });
	guard.start(5000, true);
	eApp->post(std::move(work));
	return w.exec();
}
} // namespace

class OxleStart : public OxleWindowTest
{
};

TEST_F(OxleStart, ConnectedStartAsksForTheParametersThenListsTheStartDirectory)
{
	scriptConnectedStart(startDir, startListing);
	std::unique_ptr<eOXLE> w = open();

	// The probe only connects, so the server sees an empty request first.
	EXPECT_EQ(requests(),
		(std::vector<std::string>{"", "VLC|STA|NO", "RQS|SIP|NO", "RQS|SEP|NO", "RQS|SPO|NO", "RQS|STD|NO",
			"RQS|CDD|NO", "VLC|GFL|" + startDir}));
	EXPECT_TRUE(CONNECTION);
	EXPECT_EQ(startdir, startDir);
	EXPECT_EQ(cddrive, "D:");
	EXPECT_EQ(lastDir, startDir);
	EXPECT_EQ(send_parms[0], "127.0.0.1");
	EXPECT_EQ(send_parms[1], "12050");
	EXPECT_FALSE(send_parms[2].empty());
	EXPECT_EQ(send_parms[2].find_first_not_of("0123456789"), eString::npos);
	EXPECT_EQ(w->getText(), startDir);
	EXPECT_EQ(rowTexts(*w), (std::vector<std::string>{"", "Films", "clip.mpg"}));
	EXPECT_EQ(l_path, "C:\\media\\Films");
	EXPECT_EQ(configInt(OXLE_KEY("lastmode")), 0);
	EXPECT_EQ(A::listMode(*w), MODE_FILES);
	EXPECT_EQ(A::currentIndex(*w), 0);
	EXPECT_TRUE(A::browserVisible(*w));

	// State that init leaves for the later work.
	EXPECT_EQ(jump, 1);
	EXPECT_EQ(jump_old, 1);
	EXPECT_EQ(JumpInMinutes, 1);
	EXPECT_EQ(oxle_volume, 31);
	EXPECT_TRUE(f_support);
	EXPECT_FALSE(hasPicon);
	ASSERT_NE(l_root, nullptr);
	EXPECT_EQ(l_root->getText(), "File");
	EXPECT_EQ(l_svcd->getText(), "DVD");
	EXPECT_EQ(l_vcd->getText(), "(S)VCD");
	EXPECT_EQ(l_dvd->getText(), "More..");
	ASSERT_NE(info, nullptr);
	EXPECT_FALSE(info->isShown());
	for (eTimer* t : A::timers(*w))
		ASSERT_NE(t, nullptr);
	// Only the timer-list guard runs at start.
	EXPECT_TRUE(A::timerListTimer(*w)->isActive());
	EXPECT_FALSE(A::infoTimer(*w)->isActive());
	EXPECT_NE(A::pauseBox(*w), nullptr);
	EXPECT_EQ(A::pauseBox(*w)->getFlags(), 16);
	EXPECT_EQ(A::pauseBox(*w)->getTimeout(), 0);
}

TEST_F(OxleStart, StartsInTheRememberedModeWithThePassword)
{
	scriptConnectedStart(startDir, startListing);
	eConfig::getInstance()->setKey(OXLE_KEY("lastmode"), MODE_DVD);
	std::unique_ptr<eOXLE> w = open();
	EXPECT_EQ(requests().back(), "RQS|CDD|NO"); // a disc listing asks the server nothing
	EXPECT_EQ(w->getText(), "OXLE: DVD Drive - D:");
	EXPECT_EQ(A::playlist(*w).size(), 20u);
	EXPECT_EQ(A::playlist(*w)[0].path, "dvdsimple://D:@1:01-");
}

TEST_F(OxleStart, PlayerNotReadyCountsAsNoServer)
{
	const char* notReady[] = {"-ERR vlc not running", "", "x+ok"};
	for (const char* status : notReady)
	{
		SetUp();
		scriptConnectedStart(startDir, startListing);
		reply("VLC|STA|NO", status);
		std::unique_ptr<eOXLE> w = open();
		EXPECT_EQ(requests(), (std::vector<std::string>{"", "VLC|STA|NO"})) << status;
		EXPECT_FALSE(CONNECTION);
		EXPECT_EQ(w->getText(), noConnectionTitle);
		EXPECT_EQ(A::playlist(*w).size(), 21u);
		EXPECT_EQ(startdir, "");
		w.reset();
		// Leaving unconnected tells the server nothing.
		EXPECT_EQ(requests().size(), 2u) << status;
		EXPECT_EQ(configString(OXLE_KEY("lastPath")), "<absent>");
		TearDown();
	}
}

TEST_F(OxleStart, NoServerGivesTheNoConnectionList)
{
	useDeadServer();
	std::unique_ptr<eOXLE> w = open();
	EXPECT_FALSE(CONNECTION);
	EXPECT_EQ(w->getText(), noConnectionTitle);
	ASSERT_EQ(A::playlist(*w).size(), 21u);
	EXPECT_EQ(A::playlist(*w)[0].type, TYPE_MESSAGE);
	EXPECT_EQ(rowTexts(*w).front(), "NO CONNECTION TO OXLE_X86 SERVER AVAILABLE");
	EXPECT_NE(A::listbox(*w)->getHelpText().find("NO SERVER CONNECTION, please check your Settings"), eString::npos);
	EXPECT_EQ(server->connectionCount(), 0u);
	// The message rows carry the default icon.
	EXPECT_NE(static_cast<eListBoxEntryOXLE*>(A::listbox(*w)->getEntries().front())->getIcon(), nullptr);

	w.reset();
	EXPECT_EQ(configString(OXLE_KEY("lastPath")), "<absent>");
}

TEST_F(OxleStart, SettingsAreReadAtStart)
{
	struct Case
	{
		int infodelay; // -1: key absent
		int autoinfo;  // -1: key absent
		int wantAutoinfo;
		int wantDelay;
	};
	const Case cases[] = {
		{-1, -1, 0, 300000}, {0, 1, 0, 300000}, {2, 1, 1, 120000}, {5, -1, 1, 300000}, {10, 0, 0, 600000},
		{40000, 1, 1, 35791 * 60000}, // minutes beyond an int of milliseconds: the longest delay
	};
	for (const Case& c : cases)
	{
		SetUp();
		useUnreadyServer();
		if (c.infodelay >= 0)
			eConfig::getInstance()->setKey(OXLE_KEY("infodelay"), c.infodelay);
		if (c.autoinfo >= 0)
			eConfig::getInstance()->setKey(OXLE_KEY("autoinfo"), c.autoinfo);
		eConfig::getInstance()->setKey(OXLE_KEY("autoplay"), 0);
		eConfig::getInstance()->setKey("/ezap/ui/skin", "night");
		std::unique_ptr<eOXLE> w = open();
		EXPECT_EQ(AUTOINFO, c.wantAutoinfo) << c.infodelay << "/" << c.autoinfo;
		EXPECT_EQ(INFODELAY, c.wantDelay) << c.infodelay << "/" << c.autoinfo;
		EXPECT_EQ(AUTOPLAY, 0);
		EXPECT_EQ(active_skin, "night");
		w.reset();
		TearDown();
	}
}

class OxleLeave : public OxleWindowTest
{
};

TEST_F(OxleLeave, LeavingConnectedStopsThePlayerAndRemembersThePath)
{
	scriptConnectedStart(startDir, startListing);
	std::unique_ptr<eOXLE> w = open();
	const size_t before = requests().size();
	w.reset();
	EXPECT_EQ(requestsSince(before), (std::vector<std::string>{"VLC|STP|NOUP"}));
	EXPECT_EQ(configString(OXLE_KEY("lastPath")), "C:\\media\\Films");
	EXPECT_EQ(info, nullptr);
}

TEST_F(OxleLeave, LeavingReplaysTheSavedServiceUnlessARecordingRuns)
{
	for (int timerEvent : {0, 1, 3})
	{
		SetUp();
		useUnreadyServer();
		std::unique_ptr<eOXLE> w = open();
		eServiceReference saved;
		saved.type = 1;
		saved.path = "test service";
		A::savedService(*w) = saved;
		eServiceInterface::getInstance()->stop(0);
		TIMEREVENT = timerEvent;
		w.reset();
		if (timerEvent == 3)
			EXPECT_FALSE(eServiceInterface::getInstance()->service.valid());
		else
			EXPECT_EQ(eServiceInterface::getInstance()->service, saved);
		TearDown();
	}
}

TEST_F(OxleLeave, ExitInTheBrowserClosesTheWindow)
{
	useUnreadyServer();
	std::unique_ptr<eOXLE> w = open();
	// Before the timer-list guard's first run the volume was never taken over: nothing
	// to give back, and the stored plugin volume is kept.
	eAVSwitch::getInstance()->changeVolume(1, 17);
	eConfig::getInstance()->setKey(OXLE_KEY("volume"), 44);
	A::infoTimer(*w)->start(100000, true);
	w->show();
	EXPECT_EQ(execWith(*w, [&] { press(*w, i_cursorActions->cancel); }), 0);
	EXPECT_EQ(eAVSwitch::getInstance()->getVolume(), 17);
	EXPECT_EQ(configInt(OXLE_KEY("volume")), 44);
	EXPECT_FALSE(A::infoTimer(*w)->isActive());

	// After it, the plugin's volume is saved and the TV volume restored.
	startUp = false;
	tv_volume = 12;
	oxle_volume = 40;
	i_isVisible = true;
	info->show();
	EXPECT_EQ(execWith(*w, [&] { press(*w, i_cursorActions->cancel); }), 0);
	EXPECT_EQ(eAVSwitch::getInstance()->getVolume(), 12);
	EXPECT_EQ(configInt(OXLE_KEY("volume")), 40);
	EXPECT_FALSE(i_isVisible);
	EXPECT_FALSE(info->isShown());
	w->hide();
}

TEST_F(OxleLeave, ExitWithTheVolumeBarShownOnlyHidesIt)
{
	useUnreadyServer();
	std::unique_ptr<eOXLE> w = open();
	w->show();
	volumeIsVisible = true;
	A::volumeLabel(*w).show();
	int shownAfterFirstExit = -1;
	const int code = execWith(*w, [&] {
		press(*w, i_cursorActions->cancel);
		shownAfterFirstExit = A::volumeLabel(*w).isShown() || volumeIsVisible;
		// Still open: the second Exit closes.
		press(*w, i_cursorActions->cancel);
	});
	EXPECT_EQ(shownAfterFirstExit, 0);
	EXPECT_EQ(code, 0);
	w->hide();
}

// Declared as the host declares it: with C linkage, or this does not link.
extern "C" int plugin_exec();

TEST_F(OxleLeave, PluginExecRunsTheWindowUntilExit)
{
	useUnreadyServer();
	bool reachedWindow = false;
	eTimer guard(eApp);
	guard.timeout.connect([] {
		if (eWidget* top = ModalStack::top())
			top->close(99);
	});
	guard.start(5000, true);
	eApp->post([&reachedWindow] {
		reachedWindow = dynamic_cast<eOXLE*>(ModalStack::top()) != nullptr;
		KeyInput::press("exit");
	});
	EXPECT_EQ(plugin_exec(), 0);
	EXPECT_TRUE(reachedWindow);
	EXPECT_TRUE(guard.isActive()) << "the window did not close on Exit";
}

class OxleVolumeBar : public OxleWindowTest
{
protected:
	// A copy of the default skin without the named images, activated; the default
	// comes back after the test.
	void activateSkinWithout(const std::vector<std::string>& images)
	{
		namespace fs = std::filesystem;
		const fs::path original = eDesktopSkin::defaultPath();
		folder = fs::path(testRootFile("/tmp/skin"));
		fs::create_directories(folder);
		for (const fs::directory_entry& e : fs::directory_iterator(original.parent_path()))
			fs::copy_file(e.path(), folder / e.path().filename(), fs::copy_options::overwrite_existing);
		std::ifstream in(original);
		std::ofstream out(folder / "skin.xml");
		std::string line;
		while (std::getline(in, line))
		{
			bool drop = false;
			for (const std::string& image : images)
				drop = drop || line.find("<image name=\"" + image + "\"") != std::string::npos;
			if (!drop)
				out << line << "\n";
		}
		out.close();
		ASSERT_TRUE(eDesktopSkin::activate((folder / "skin.xml").string()));
	}
	void TearDown() override
	{
		eDesktopSkin::activate(eDesktopSkin::defaultPath());
		OxleWindowTest::TearDown();
	}
	std::filesystem::path folder;
};

TEST_F(OxleVolumeBar, TheSkinsPicturesMakeTheGraphicBar)
{
	useUnreadyServer();
	eSkin* skin = eSkin::getActive();
	gPixmap* picture = skin->queryImage("volume_grafik");
	gPixmap* bar = skin->queryImage("g_volume_progress");
	ASSERT_NE(picture, nullptr);
	ASSERT_NE(bar, nullptr);
	std::unique_ptr<eOXLE> w = open();
	EXPECT_TRUE(isGemini);
	const ePoint at(skin->queryValue("volume.grafik.pos.x", 0), skin->queryValue("volume.grafik.pos.y", 0));
	EXPECT_EQ(A::volumeLabel(*w).getPosition(), at);
	EXPECT_EQ(A::volumeLabel(*w).getSize(), picture->getSize());
	EXPECT_EQ(A::volumeLabel(*w).getPixmap(), picture);
	EXPECT_FALSE(A::volumeLabel(*w).isShown());
	EXPECT_EQ(A::volumeBarLabel(*w).getPosition(),
		ePoint(at.x + skin->queryValue("g_volume.progress.pos.x", 0),
			at.y + skin->queryValue("g_volume.progress.pos.y", 0)));
	EXPECT_EQ(A::volumeBarLabel(*w).getPixmap(), bar);
	EXPECT_EQ(gx, skin->queryValue("g_volume.progress.width", -1));
	EXPECT_EQ(gy, skin->queryValue("g_volume.progress.height", -1));
	// Both labels stand over the video, not inside the window.
	EXPECT_NE(A::volumeLabel(*w).getParent(), w.get());
	EXPECT_EQ(A::volumeProgress(*w)->getParent(), &A::volumeLabel(*w));
}

TEST_F(OxleVolumeBar, WithoutEitherPictureThePlainBarIsUsed)
{
	for (const std::vector<std::string>& missing :
		{std::vector<std::string>{"g_volume_progress"}, std::vector<std::string>{"volume_grafik"}})
	{
		SetUp();
		useUnreadyServer();
		activateSkinWithout(missing);
		eSkin* skin = eSkin::getActive();
		std::unique_ptr<eOXLE> w = open();
		EXPECT_FALSE(isGemini) << missing[0];
		const ePoint slider(skin->queryValue("volume.slider.pos.x", -1), skin->queryValue("volume.slider.pos.y", -1));
		const ePoint label = missing[0] == "volume_grafik"
			? ePoint(0, 0)
			: ePoint(skin->queryValue("volume.grafik.pos.x", -1), skin->queryValue("volume.grafik.pos.y", -1));
		// The bar stands at the slider's place within the label (on the screen when the
		// label has no picture) and lies wholly inside the label, where it is drawn.
		EXPECT_EQ(A::volumeProgress(*w)->getAbsolutePosition(), label + slider);
		const eRect bar = A::volumeProgress(*w)->getAbsoluteRect();
		EXPECT_EQ(A::volumeLabel(*w).getAbsoluteRect().intersect(bar), bar) << missing[0];
		EXPECT_EQ(A::volumeProgress(*w)->getSize(),
			eSize(skin->queryValue("volume.slider.width", -1), skin->queryValue("volume.slider.height", -1)));
		EXPECT_EQ(gx, skin->queryValue("volume.slider.width", -1));
		w.reset();
		TearDown();
	}
}

TEST_F(OxleVolumeBar, ThePlainBarShowsTheVolumeDuringPlayback)
{
	useUnreadyServer();
	activateSkinWithout({"volume_grafik"});
	std::unique_ptr<eOXLE> w = open();
	ASSERT_FALSE(isGemini);
	A::browserVisible(*w) = false;
	eAVSwitch* avs = eAVSwitch::getInstance();
	struct Case
	{
		int volume;
		int percent;
	};
	for (const Case& c : {Case{0, 100}, Case{63, 0}, Case{21, 66}})
	{
		avs->changeVolume(1, c.volume);
		EXPECT_EQ(A::volumeProgress(*w)->getPerc(), c.percent) << c.volume;
		EXPECT_TRUE(A::volumeProgress(*w)->isShown());
		EXPECT_TRUE(A::volumeLabel(*w).isShown());
		EXPECT_TRUE(volumeIsVisible);
	}
	avs->changeVolume(1, 0);
	avs->toggleMute();
	EXPECT_EQ(A::volumeProgress(*w)->getPerc(), 0);
	avs->toggleMute();
	w->hideVolumeBar();
	EXPECT_FALSE(A::volumeProgress(*w)->isShown());
	EXPECT_FALSE(A::volumeLabel(*w).isShown());
	EXPECT_FALSE(volumeIsVisible);
}
