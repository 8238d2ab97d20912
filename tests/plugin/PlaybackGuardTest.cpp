// The playback cycle and the timer-list guard where only the window's state or a race with the
// streaming threads shows the fault; closes by the guard are the scenarios'.
#include <ctime>

#include "StreamThreads.h"
#include "Ts.h"
#include "WindowTest.h"
#include "eAVSwitch.h"
#include "eServiceInterface.h"

namespace
{
const int LONG_MS = 100000;
const char MUSIC[] = "/music";
// Sorted: the parent (0), then song1 (1), song2 (2), song3 (3).
const std::string MUSIC_LISTING =
	listDocument(dirElement("..", "/music/..") + fileElement("song2.mp3", "/music/song2.mp3") +
		fileElement("song1.mp3", "/music/song1.mp3") + fileElement("song3.mp3", "/music/song3.mp3"));
const std::string SOON = "A Timerevent will occur within the next 8 mins. The plugin will shutdown NOW!";
const std::string RUNNING = "A Timerevent is currently in progress. The plugin will shutdown NOW!";
const std::string UNHANDLED =
	"Detected one or more unhandled timer-events (e.g. Ngrab, repeating timer etc.).\nRun OXLE at your own risk!";

std::string event(long long secondsFromNow, long long duration)
{
	return "#TYPE 1\n#TIME_BEGIN " + std::to_string((long long)std::time(nullptr) + secondsFromNow) + "\n#DURATION " +
		std::to_string(duration) + "\n";
}
} // namespace

TEST_F(OxleWindowTest, ANewStartEndsTheStreamBehindTheBrowserBeforeItsPlayRequest)
{
	std::unique_ptr<eOXLE> w = openConnected(MUSIC_LISTING, MUSIC);
	ts::Builder b;
	b.program(1000, -1, 0x101);
	FakeHttpStream::Script endless; // until the server stops
	endless.body = b.bytes;
	endless.loops = 1000;
	endless.chunkBytes = ts::PACKET_SIZE * 100;
	endless.gapMs = 5;
	stream = std::make_unique<FakeHttpStream>(endless);
	ASSERT_TRUE(stream->ok());
	reply("RQS|SPO|NO", std::to_string(stream->port()));
	w->listSelected(row(*w, 1));
	ASSERT_EQ(status(), STARTED);
	w->timerHandler();
	HostTestEnv::press(*w, i_cursorActions->down);
	ASSERT_TRUE(A::browserVisible(*w));

	mark();
	w->listSelected(row(*w, 3));
	ASSERT_EQ(status(), STARTED);
	HostTestEnv::pumpUntil([] { return false; }, 100);
	// A late stop of the old stream would end the new one on the server.
	const std::vector<std::string> requests = sent();
	const auto play = std::find(requests.begin(), requests.end(), "VLC|PLY|/music/song3.mp3|0|1");
	ASSERT_NE(play, requests.end());
	EXPECT_NE(std::find(requests.begin(), play, "VLC|STP|NOUP"), play);
	EXPECT_EQ(std::find(play, requests.end(), "VLC|STP|NOUP"), requests.end());

	// Leaving joins the streaming threads: the host unloads the plugin's code next.
	w.reset();
	EXPECT_EQ(status(), STOPPED);
	EXPECT_EQ(pvr, pthread_t(0));
	EXPECT_EQ(receiver, pthread_t(0));
}

TEST_F(OxleWindowTest, WhatTheStatusPollDoesAtTheEndOfAFile)
{
	struct Case
	{
		const char* label;
		int autoplay, mode, directoryNext, status, browserAfter, indexAfter, polling; // from the second row
	};
	const Case cases[] = {
		{"no continuous play", 0, MODE_FILES, 0, STOPPED, 1, 0, 0},
		{"negative autoplay", -1, MODE_FILES, 0, STOPPED, 0, 2, 0},
		{"a directory next", 1, MODE_FILES, 1, STOPPED, 0, 2, 0},
		{"a disc", 1, MODE_DVD, 0, STOPPED, 0, 1, 1},
		{"paused", 1, MODE_FILES, 0, PAUSED, 0, 1, 1},
	};
	std::unique_ptr<eOXLE> w = openConnected(MUSIC_LISTING, MUSIC);
	for (const Case& c : cases)
	{
		toPlayback(*w, c.status);
		AUTOPLAY = c.autoplay;
		A::listMode(*w) = c.mode;
		A::currentIndex(*w) = 1;
		A::playlist(*w)[2].type = c.directoryNext ? TYPE_DIRECTORY : TYPE_FILE;
		A::infoTimer(*w)->start(LONG_MS, true);
		A::pauseBox(*w)->show();
		const size_t stills = HostTestEnv::showiframeCalls().size();
		mark();
		w->timerHandler();
		EXPECT_EQ(A::browserVisible(*w), c.browserAfter == 1) << c.label;
		EXPECT_EQ(A::currentIndex(*w), c.indexAfter) << c.label;
		EXPECT_EQ(A::statusTimer(*w)->isActive(), c.polling == 1) << c.label;
		EXPECT_EQ(status(), c.status) << c.label;
		EXPECT_EQ(A::infoTimer(*w)->isActive(), !c.browserAfter) << c.label;
		EXPECT_EQ(HostTestEnv::showiframeCalls().size() - stills, c.browserAfter ? 1u : 0u) << c.label;
		// A file that ended takes its pause with it.
		EXPECT_EQ(A::pauseBox(*w)->isShown(), c.status != STOPPED || c.mode != MODE_FILES) << c.label;
		EXPECT_TRUE(sent().empty()) << c.label;
		A::statusTimer(*w)->stop();
		A::pauseBox(*w)->hide();
	}
}

TEST_F(OxleWindowTest, ADeferredStartPlaysOnlyAFileStillListed)
{
	std::unique_ptr<eOXLE> w = openConnected(MUSIC_LISTING, MUSIC);
	waitStart = true; // a stop a moment ago
	w->listSelected(row(*w, 2));
	EXPECT_TRUE(started);
	EXPECT_TRUE(A::browserVisible(*w));
	for (int index : {99, 0, -1, 2})
	{
		A::currentIndex(*w) = index;
		waitStart = started = true;
		w->wTimer();
		EXPECT_TRUE(index == 2 || !(waitStart || started)) << index;
		const std::vector<std::string> requests = sent(); // the first is the play request
		EXPECT_EQ(requests.empty() ? "" : requests[0], index == 2 ? "VLC|PLY|/music/song2.mp3|0|1" : "") << index;
	}
	EXPECT_FALSE(A::browserVisible(*w));
}

TEST_F(OxleWindowTest, TheGuardsFirstRunDecidesAndTakesTheServiceAndVolumeOver)
{
	struct Case
	{
		const char* label;
		std::string list; // empty: no timer list
		int storedVolume, timerEvent;
		std::vector<std::string> notices;
		bool closing, lookingAgain, serviceStopped;
		int volume;
	};
	const Case cases[] = {
		{"nothing programmed", "", 44, TIMEREVENT_NONE, {}, false, false, true, 44},
		{"an event in 300 s", event(300, 3600), 44, TIMEREVENT_SOON, {SOON}, true, false, true, 44},
		{"an event in 600 s", event(600, 3600), 44, TIMEREVENT_NONE, {}, false, true, true, 44},
		{"an event running", event(-60, 3600), 44, TIMEREVENT_RUNNING, {RUNNING}, true, false, false, 44},
		{"a time of day", "#TYPE 1\n#TIME_BEGIN 86400\n", 44, TIMEREVENT_NONE, {UNHANDLED}, false, false, true, 44},
		// A hand-edited volume outside the host's 0..63 is not used.
		{"a volume below the scale", "", -5, TIMEREVENT_NONE, {}, false, false, true, 31},
		{"a volume above the scale", "", 64, TIMEREVENT_NONE, {}, false, false, true, 31},
	};
	for (const Case& c : cases)
	{
		HostTestEnv::root().writeFile("/var/tuxbox/config/enigma/timer.epl", c.list);
		eAVSwitch::getInstance()->changeVolume(1, 20);
		eConfig::getInstance()->setKey(OXLE_KEY("volume"), c.storedVolume);
		startUp = true;
		std::unique_ptr<eOXLE> w = openUnconnected();
		A::timerListTimer(*w)->stop();
		const eServiceReference tv = eServiceInterface::getInstance()->service;
		ASSERT_TRUE(tv.valid());
		const size_t stills = HostTestEnv::showiframeCalls().size(), since = HostTestEnv::journalMark();
		w->parseTimerList();
		EXPECT_EQ(TIMEREVENT, c.timerEvent) << c.label;
		EXPECT_EQ(HostTestEnv::journal(since).texts("msgbox"), c.notices) << c.label;
		EXPECT_EQ(A::closeTimer(*w)->isActive(), c.closing) << c.label;
		EXPECT_EQ(A::timerListTimer(*w)->isActive(), c.lookingAgain) << c.label;
		EXPECT_EQ(tv_volume, 20) << c.label;
		EXPECT_EQ(eAVSwitch::getInstance()->getVolume(), c.volume) << c.label;
		EXPECT_EQ(A::savedService(*w), tv) << c.label;
		EXPECT_EQ(!eServiceInterface::getInstance()->service.valid(), c.serviceStopped) << c.label;
		EXPECT_EQ(HostTestEnv::showiframeCalls().size() - stills, c.serviceStopped ? 1u : 0u) << c.label;

		// Later runs only decide: no second hand-over, no second unhandled notice.
		if (!c.closing)
		{
			eAVSwitch::getInstance()->changeVolume(1, 7);
			w->parseTimerList();
			EXPECT_EQ(eAVSwitch::getInstance()->getVolume(), 7) << c.label;
			EXPECT_EQ(HostTestEnv::journal(since).texts("msgbox"), c.notices) << c.label;
		}
		// Leaving gives the service back, unless a recording has it.
		const size_t left = HostTestEnv::journalMark();
		w.reset();
		const bool replayed = HostTestEnv::journal(left).find("service", {{"op", "play"}}) != JournalReader::npos;
		EXPECT_EQ(replayed, c.serviceStopped) << c.label;
		EXPECT_EQ(eServiceInterface::getInstance()->service, tv) << c.label;
		TIMEREVENT = TIMEREVENT_NONE;
	}
}
