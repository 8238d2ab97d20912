// The timer-list guard on the desktop host, with timer lists written into the box root
// relative to the real clock, and its first-run hand-over.
#include <ctime>
#include <fstream>

#include "DesktopServices.h"
#include "OxleTestHost.h"
#include "eAVSwitch.h"
#include "eConfig.h"
#include "eOXLEEngine.h"
#include "eServiceInterface.h"
#include "oxleGlobals.h"

using A = eOXLETestAccess;

namespace
{
const char timerList[] = "/var/tuxbox/config/enigma/timer.epl";
const std::string soonNotice =
	"A Timerevent will occur within the next 8 mins. The plugin will shutdown NOW! | Information | 5";
const std::string runningNotice =
	"A Timerevent is currently in progress. The plugin will shutdown NOW! | Information | 5";
const std::string unhandledNotice = "Detected one or more unhandled timer-events (e.g. Ngrab, repeating timer "
									"etc.).\nRun OXLE at your own risk! | Information | 0";

// One timer event beginning secondsFromNow from now.
std::string event(long long secondsFromNow, long long duration)
{
	const long long now = (long long)std::time(nullptr);
	return "#TYPE 1\n#TIME_BEGIN " + std::to_string(now + secondsFromNow) + "\n#DURATION " + std::to_string(duration) +
		"\n";
}

void writeTimerList(const std::string& text)
{
	std::ofstream(testRootFile(timerList)) << text;
}
} // namespace

class OxleGuard : public OxleWindowTest
{
protected:
	// A window whose first guard run has not happened; the timer that would run it is
	// stopped, so that the test runs it.
	std::unique_ptr<eOXLE> openWaiting()
	{
		useUnreadyServer();
		std::unique_ptr<eOXLE> w = open();
		A::timerListTimer(*w)->stop();
		return w;
	}
};

TEST_F(OxleGuard, FirstRunDecidesAndHandsOver)
{
	struct Case
	{
		const char* label;
		std::string list; // empty: no timer list
		int timerEvent;
		std::vector<std::string> notices;
		bool closing;
		bool lookingAgain;
		bool serviceStopped;
	};
	const Case cases[] = {
		{"nothing programmed", "", 0, {}, false, false, true},
		{"an event in 300 s", event(300, 3600), 1, {soonNotice}, true, false, true},
		{"an event in 600 s", event(600, 3600), 0, {}, false, true, true},
		{"an event running", event(-60, 3600), 3, {runningNotice}, true, false, false},
		{"an event that is over", event(-7200, 3600), 0, {}, false, false, true},
		{"a time of day", "#TYPE 1\n#TIME_BEGIN 86400\n#DURATION 60\n", 0, {unhandledNotice}, false, false, true},
		{"a repeating timer", "#LAST_ACTIVATION 1700000000\n", 0, {unhandledNotice}, false, false, true},
		// Something imminent is told as such, not as unhandled.
		{"a repeating timer and an event in 300 s", "#LAST_ACTIVATION 1\n" + event(300, 60), 1, {soonNotice}, true,
			false, true},
		{"a near event behind a far one", event(86400, 60) + event(200, 60), 1, {soonNotice}, true, false, true},
	};
	for (const Case& c : cases)
	{
		SetUp();
		if (!c.list.empty())
			writeTimerList(c.list);
		eAVSwitch::getInstance()->changeVolume(1, 20);
		eConfig::getInstance()->setKey(OXLE_KEY("volume"), 44);
		std::unique_ptr<eOXLE> w = openWaiting();
		const eServiceReference tv = eServiceInterface::getInstance()->service;
		ASSERT_TRUE(tv.valid());

		w->parseTimerList();
		EXPECT_EQ(TIMEREVENT, c.timerEvent) << c.label;
		EXPECT_EQ(notices(), c.notices) << c.label;
		EXPECT_EQ(A::closeTimer(*w)->isActive(), c.closing) << c.label;
		EXPECT_EQ(A::timerListTimer(*w)->isActive(), c.lookingAgain) << c.label;
		EXPECT_FALSE(startUp) << c.label;
		// The hand-over: the TV volume kept, the plugin's own set, the service saved.
		EXPECT_EQ(tv_volume, 20) << c.label;
		EXPECT_EQ(oxle_volume, 44) << c.label;
		EXPECT_EQ(eAVSwitch::getInstance()->getVolume(), 44) << c.label;
		EXPECT_EQ(A::savedService(*w), tv) << c.label;
		EXPECT_EQ(!eServiceInterface::getInstance()->service.valid(), c.serviceStopped) << c.label;
		EXPECT_EQ(backgroundShows().size(), c.serviceStopped ? 1u : 0u) << c.label;

		// Leaving gives the service back, unless a recording has it.
		w.reset();
		EXPECT_EQ(eServiceInterface::getInstance()->service, tv) << c.label;
		TearDown();
	}
}

TEST_F(OxleGuard, LaterRunsOnlyDecide)
{
	writeTimerList("#LAST_ACTIVATION 1\n" + event(3600, 60));
	std::unique_ptr<eOXLE> w = openWaiting();
	w->parseTimerList();
	EXPECT_EQ(notices(), (std::vector<std::string>{unhandledNotice}));
	EXPECT_TRUE(A::timerListTimer(*w)->isActive());

	// Four minutes later: no notice again, no second hand-over.
	eAVSwitch::getInstance()->changeVolume(1, 7);
	DesktopServices::setRunningService("Another TV");
	w->parseTimerList();
	EXPECT_EQ(notices().size(), 1u);
	EXPECT_EQ(eAVSwitch::getInstance()->getVolume(), 7);
	EXPECT_TRUE(eServiceInterface::getInstance()->service.valid());
	EXPECT_EQ(backgroundShows().size(), 1u);

	// Then the event comes near.
	writeTimerList(event(120, 60));
	w->parseTimerList();
	EXPECT_EQ(TIMEREVENT, 1);
	EXPECT_EQ(notices().back(), soonNotice);
	EXPECT_TRUE(A::closeTimer(*w)->isActive());
}

TEST_F(OxleGuard, ANearEventClosesThePluginASecondLater)
{
	writeTimerList(event(300, 60));
	std::unique_ptr<eOXLE> w = openWaiting();
	eAVSwitch::getInstance()->changeVolume(1, 20);
	w->show();
	// The guard runs by itself a second after the start; the plugin closes a second later.
	A::timerListTimer(*w)->start(10, true);
	eTimer guard(eApp);
	guard.timeout.connect([&w] { w->close(notClosed); });
	guard.start(10000, true);
	EXPECT_EQ(w->exec(), 0);
	EXPECT_EQ(TIMEREVENT, 1);
	EXPECT_EQ(notices(), (std::vector<std::string>{soonNotice}));
	// The TV volume is back; the plugin's is kept for next time.
	EXPECT_EQ(eAVSwitch::getInstance()->getVolume(), 20);
	EXPECT_EQ(configInt(OXLE_KEY("volume")), 31);
	w->hide();
}

TEST_F(OxleGuard, AStoredVolumeOutsideTheScaleIsNotUsed)
{
	for (int stored : {-5, 64, 100000})
	{
		SetUp();
		eConfig::getInstance()->setKey(OXLE_KEY("volume"), stored);
		std::unique_ptr<eOXLE> w = openWaiting();
		w->parseTimerList();
		EXPECT_EQ(oxle_volume, 31) << stored;
		EXPECT_EQ(eAVSwitch::getInstance()->getVolume(), 31) << stored;
		w.reset();
		TearDown();
	}
}
