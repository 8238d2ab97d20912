// The playback cycle on the desktop host: starts through the real engine against a
// scripted stream, the status poll, continuous play, the end of a playlist, the
// deferred start, the information label, the volume bar and the guard's way out.
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <filesystem>

#include "BoxRoot.h"

#include "DesktopServices.h"
#include "OxleTestHost.h"
#include "StreamThreads.h"
#include "eAVSwitch.h"
#include "eConfig.h"
#include "eDVB.h"
#include "eListBoxEntryOXLE.h"
#include "eOXLEEngine.h"
#include "eServiceInterface.h"
#include "oxleGlobals.h"

using A = eOXLETestAccess;

namespace
{
const std::string musicDir = "/music";
// Sorted: the parent (0), then song1 (1), song2 (2), song3 (3).
const std::string musicListing =
	listDocument(dirElement("..", "/music/..") + fileElement("song2.mp3", "/music/song2.mp3", "1048576", "music.png") +
		fileElement("song1.mp3", "/music/song1.mp3", "1048576", "music.png") +
		fileElement("song3.mp3", "/music/song3.mp3", "1048576", "music.png"));
const int audioPid = 0x101;
const int waitMs = 10000;
const std::string errorNotice = "An Error occured while trying to send commands, or receiving the Stream. OXEL_x86 "
								"restarted VLC. Try again. | Error | 0";

// A stream that keeps coming until the server stops.
FakeHttpStream::Script endlessStream()
{
	FakeHttpStream::Script script;
	script.body = audioTransportStream(audioPid, 1000);
	script.loops = 1000;
	script.chunkBytes = 188 * 100;
	script.gapMs = 5;
	return script;
}

// A stream that ends by itself soon after the start.
FakeHttpStream::Script shortStream()
{
	FakeHttpStream::Script script;
	script.body = audioTransportStream(audioPid, 2000);
	return script;
}

eListBoxEntryOXLE* row(eOXLE& w, int index)
{
	for (eListBoxEntry* e : A::listbox(w)->getEntries())
		if (static_cast<eListBoxEntryOXLE*>(e)->getIndex() == index)
			return static_cast<eListBoxEntryOXLE*>(e);
	return nullptr;
}

size_t count(const std::vector<std::string>& all, const std::string& one)
{
	return size_t(std::count(all.begin(), all.end(), one));
}

size_t position(const std::vector<std::string>& all, const std::string& one)
{
	return size_t(std::find(all.begin(), all.end(), one) - all.begin());
}

std::tm localTimeIn(int offsetSeconds)
{
	const std::time_t t = std::time(nullptr) + offsetSeconds;
	std::tm local{};
	localtime_r(&t, &local);
	return local;
}

ePoint clientPosition(eOXLE& w)
{
	return w.getPosition() + w.getClientOffset();
}
} // namespace

class OxlePlayback : public OxleWindowTest
{
protected:
	std::unique_ptr<eOXLE> openMusic()
	{
		scriptConnectedStart(musicDir, musicListing);
		std::unique_ptr<eOXLE> w = open();
		w->show();
		return w;
	}
	void toPlayback(eOXLE& w, int status)
	{
		A::browserVisible(w) = false;
		setEngineStatus(status);
	}
	bool waitForStatus(int wanted)
	{
		return pumpUntil([wanted] { return engineStatus() == wanted; }, waitMs);
	}
};

TEST_F(OxlePlayback, ContinuousPlayFromStartToError)
{
	std::unique_ptr<eOXLE> w = openMusic();
	serveStream(endlessStream());
	audioChannel = 3;
	A::playlist(*w)[1].startOffset = 2;
	AUTOINFO = 1;
	INFODELAY = 600000;
	const size_t before = requests().size();
	const std::tm early = localTimeIn(0);

	w->listSelected(row(*w, 1));
	std::vector<std::string> sent = requestsSince(before);
	ASSERT_GE(sent.size(), 2u);
	EXPECT_EQ(sent[0], "VLC|PLY|/music/song1.mp3|120|3");
	EXPECT_EQ(sent[1], "RQS|SPO|NO");
	ASSERT_EQ(engineStatus(), eOXLEEngine::STATUS_STARTED);
	EXPECT_EQ(stream->requests().at(0).rfind("GET /dboxstream", 0), 0u);
	EXPECT_FALSE(A::browserVisible(*w));
	EXPECT_EQ(clientPosition(*w), ePoint(90, 800));
	EXPECT_EQ(loadFile, "song1.mp3");
	EXPECT_EQ(nextFile, "song2.mp3");
	EXPECT_EQ(DesktopServices::lcdText(), "song1.mp3");
	EXPECT_TRUE(A::statusTimer(*w)->isActive());
	EXPECT_TRUE(A::infoTimer(*w)->isActive());
	EXPECT_EQ(A::listbox(*w)->getCurrent()->getIndex(), 2);
	const std::tm late = localTimeIn(0);
	EXPECT_TRUE((startHour == early.tm_hour && startMin == early.tm_min) ||
		(startHour == late.tm_hour && startMin == late.tm_min));

	// The first tick turns "just started" into playing.
	w->timerHandler();
	EXPECT_EQ(engineStatus(), eOXLEEngine::STATUS_PLAYING);
	EXPECT_TRUE(A::statusTimer(*w)->isActive());

	// The server goes away: the stream ends, and the next tick plays the next song.
	stream->stop();
	ASSERT_TRUE(waitForStatus(eOXLEEngine::STATUS_STOPPED));
	EXPECT_GE(count(requests(), "VLC|STP|NOUP"), 1u);
	serveStream(shortStream());
	size_t mark = requests().size();
	w->timerHandler();
	EXPECT_EQ(A::currentIndex(*w), 2);
	EXPECT_EQ(loadFile, "song2.mp3");
	EXPECT_EQ(nextFile, "song3.mp3");
	EXPECT_EQ(requestsSince(mark).at(0), "VLC|PLY|/music/song2.mp3|0|3");
	EXPECT_EQ(backgroundShows().size(), 1u);
	EXPECT_EQ(A::listbox(*w)->getCurrent()->getIndex(), 3);

	// That one ends by itself; the last song cannot start, its server being gone.
	ASSERT_TRUE(waitForStatus(eOXLEEngine::STATUS_STOPPED));
	stream->stop();
	mark = requests().size();
	w->timerHandler();
	EXPECT_EQ(requestsSince(mark).at(0), "VLC|PLY|/music/song3.mp3|0|3");
	EXPECT_EQ(nextFile, "Playlist End");
	ASSERT_EQ(engineStatus(), eOXLEEngine::STATUS_ERROR);

	// The error: the server is told, the viewer confirms, the browser comes back.
	mark = requests().size();
	i_isVisible = true;
	w->timerHandler();
	EXPECT_EQ(requestsSince(mark), (std::vector<std::string>{"VLC|STA|NO"}));
	EXPECT_EQ(notices(), (std::vector<std::string>{errorNotice}));
	EXPECT_EQ(journal("msgbox").at(0).value("flags", 0), 129);
	EXPECT_TRUE(A::browserVisible(*w));
	EXPECT_EQ(A::currentIndex(*w), 0);
	EXPECT_FALSE(i_isVisible);
	EXPECT_FALSE(A::statusTimer(*w)->isActive());
	EXPECT_FALSE(A::infoTimer(*w)->isActive());
}

TEST_F(OxlePlayback, AFileChosenWhileAStreamPlaysBehindTheBrowserStartsCleanly)
{
	std::unique_ptr<eOXLE> w = openMusic();
	serveStream(endlessStream());
	w->listSelected(row(*w, 1));
	ASSERT_EQ(engineStatus(), eOXLEEngine::STATUS_STARTED);
	press(*w, i_cursorActions->down); // not yet playing: the list gets it
	w->timerHandler();
	press(*w, i_cursorActions->down);
	ASSERT_TRUE(A::browserVisible(*w));

	const size_t mark = requests().size();
	w->listSelected(row(*w, 3));
	ASSERT_EQ(engineStatus(), eOXLEEngine::STATUS_STARTED);
	pumpUntil([] { return false; }, 100);
	// The old stream's stop reaches the server before the new play request, never after.
	const std::vector<std::string> sent = requestsSince(mark);
	const size_t play = position(sent, "VLC|PLY|/music/song3.mp3|0|1");
	ASSERT_LT(play, sent.size());
	EXPECT_LT(position(sent, "VLC|STP|NOUP"), play);
	EXPECT_EQ(count(std::vector<std::string>(sent.begin() + long(play), sent.end()), "VLC|STP|NOUP"), 0u);
}

TEST_F(OxlePlayback, LeavingWhileAStreamPlaysEndsItsThreads)
{
	std::unique_ptr<eOXLE> w = openMusic();
	serveStream(endlessStream());
	w->listSelected(row(*w, 1));
	ASSERT_EQ(engineStatus(), eOXLEEngine::STATUS_STARTED);
	ASSERT_NE(pvr, pthread_t(0));
	const size_t mark = requests().size();
	w.reset();
	EXPECT_EQ(engineStatus(), eOXLEEngine::STATUS_STOPPED);
	EXPECT_EQ(pvr, pthread_t(0));
	EXPECT_EQ(receiver, pthread_t(0));
	EXPECT_GE(count(requestsSince(mark), "VLC|STP|NOUP"), 1u);
}

TEST_F(OxlePlayback, WhatTheStatusPollDoesAtTheEndOfAFile)
{
	struct Case
	{
		const char* label;
		int index;
		int autoplay;
		int mode;
		int nextType; // -1: as listed
		int status;
		bool browserAfter;
		int indexAfter;
		bool polling;
		size_t backgrounds;
		int statusAfter;
	};
	const int stopped = eOXLEEngine::STATUS_STOPPED;
	const Case cases[] = {
		{"last file", 3, 1, MODE_FILES, -1, stopped, true, 0, false, 1, stopped},
		{"no continuous play", 1, 0, MODE_FILES, -1, stopped, true, 0, false, 1, stopped},
		{"negative autoplay", 1, -1, MODE_FILES, -1, stopped, false, 2, false, 0, stopped},
		{"a directory next", 1, 1, MODE_FILES, TYPE_DIRECTORY, stopped, false, 2, false, 0, stopped},
		{"a disc", 1, 1, MODE_DVD, -1, stopped, false, 1, true, 0, stopped},
		{"just started", 1, 1, MODE_FILES, -1, eOXLEEngine::STATUS_STARTED, false, 1, true, 0,
			eOXLEEngine::STATUS_PLAYING},
		{"closing", 1, 1, MODE_FILES, -1, eOXLEEngine::STATUS_CLOSING, false, 1, true, 0, eOXLEEngine::STATUS_CLOSING},
		{"paused", 1, 1, MODE_FILES, -1, eOXLEEngine::STATUS_PAUSED, false, 1, true, 0, eOXLEEngine::STATUS_PAUSED},
	};
	for (const Case& c : cases)
	{
		SetUp();
		std::unique_ptr<eOXLE> w = openMusic();
		toPlayback(*w, c.status);
		AUTOPLAY = c.autoplay;
		A::listMode(*w) = c.mode;
		A::currentIndex(*w) = c.index;
		if (c.nextType >= 0)
			A::playlist(*w)[size_t(c.index) + 1].type = c.nextType;
		A::infoTimer(*w)->start(100000, true);
		const size_t mark = requests().size();
		w->timerHandler();
		EXPECT_EQ(A::browserVisible(*w), c.browserAfter) << c.label;
		EXPECT_EQ(A::currentIndex(*w), c.indexAfter) << c.label;
		EXPECT_EQ(A::statusTimer(*w)->isActive(), c.polling) << c.label;
		EXPECT_EQ(backgroundShows().size(), c.backgrounds) << c.label;
		EXPECT_EQ(engineStatus(), c.statusAfter) << c.label;
		EXPECT_EQ(A::infoTimer(*w)->isActive(), !c.browserAfter) << c.label;
		EXPECT_TRUE(requestsSince(mark).empty()) << c.label;
		EXPECT_FALSE(eApp->quitRequested()) << c.label;
		w.reset();
		TearDown();
	}
}

TEST_F(OxlePlayback, TheEndOfThePlaylistQuitsTheHostWithTheActionsCode)
{
	GTEST_FLAG_SET(death_test_style, "threadsafe");
	const int codes[] = {0, 2, 4, 0};
	for (int action = 1; action <= 3; ++action)
	{
		EXPECT_EXIT(
			{
				std::unique_ptr<eOXLE> w = openMusic();
				toPlayback(*w, eOXLEEngine::STATUS_STOPPED);
				A::currentIndex(*w) = 3;
				shutDown = action;
				w->timerHandler();
				const bool quitLine = !journal("quit").empty();
				const int code = eApp->quitRequested() && quitLine && A::browserVisible(*w) ? eApp->exitCode() : 99;
				// Nothing of the child runs its clean-up: its server and box root go here.
				server.reset();
				std::filesystem::remove_all(getBoxRoot());
				_exit(code);
			},
			::testing::ExitedWithCode(codes[action]), "")
			<< "action " << action;
	}
}

TEST_F(OxlePlayback, AStartAfterAStopWaitsForTheServer)
{
	std::unique_ptr<eOXLE> w = openMusic();
	toPlayback(*w, eOXLEEngine::STATUS_PLAYING);
	press(*w, i_cursorActions->cancel);
	ASSERT_TRUE(waitStart);
	setEngineStatus(eOXLEEngine::STATUS_STOPPED); // the stream has ended meanwhile

	const size_t mark = requests().size();
	w->listSelected(row(*w, 2));
	EXPECT_TRUE(started);
	EXPECT_TRUE(A::browserVisible(*w));
	EXPECT_TRUE(requestsSince(mark).empty());

	// The listing changed in the meantime: nothing that is not a file there is played.
	for (int index : {99, 0, -1})
	{
		A::currentIndex(*w) = index;
		waitStart = started = true;
		w->wTimer();
		EXPECT_FALSE(waitStart);
		EXPECT_FALSE(started);
		EXPECT_TRUE(A::browserVisible(*w)) << index;
	}
	EXPECT_TRUE(requestsSince(mark).empty());

	A::currentIndex(*w) = 2;
	waitStart = started = true;
	w->wTimer();
	EXPECT_EQ(requestsSince(mark).at(0), "VLC|PLY|/music/song2.mp3|0|1");
	EXPECT_FALSE(A::browserVisible(*w));
	// Without a stream port the start fails.
	EXPECT_EQ(engineStatus(), eOXLEEngine::STATUS_ERROR);

	// No start was asked for: the hold just ends.
	const size_t later = requests().size();
	waitStart = true;
	w->wTimer();
	EXPECT_FALSE(waitStart);
	EXPECT_TRUE(requestsSince(later).empty());
}

TEST_F(OxlePlayback, TheInformationLabelShowsTheBoxTimeAndWhatIsLeft)
{
	std::unique_ptr<eOXLE> w = openMusic();
	reply("VLC|GTI|NO", "<?xml version=\"1.0\"?>\n<status><time>600</time><length>5400</length></status>");
	const int offset = 7200;
	eDVB::getInstance()->time_difference = offset;
	const std::tm early = localTimeIn(offset);
	w->showInfo();
	const std::tm late = localTimeIn(offset);
	const std::string text = info->getText();
	EXPECT_TRUE(text == std::string(eString::sprintf("%02d:%02d -- 80min.", early.tm_hour, early.tm_min)) ||
		text == std::string(eString::sprintf("%02d:%02d -- 80min.", late.tm_hour, late.tm_min)))
		<< text;
	EXPECT_TRUE(info->isShown());
	EXPECT_TRUE(i_isVisible);
	EXPECT_TRUE(A::infoCloseTimer(*w)->isActive());
	EXPECT_TRUE(A::infoTimer(*w)->isActive());

	w->closeInfo();
	EXPECT_FALSE(info->isShown());
	EXPECT_EQ(info->getText(), "");
	EXPECT_FALSE(i_isVisible);
}

TEST_F(OxlePlayback, VolumeChangesShowTheBarDuringPlaybackOnly)
{
	std::unique_ptr<eOXLE> w = openMusic();
	ASSERT_TRUE(isGemini);
	eAVSwitch* avs = eAVSwitch::getInstance();
	avs->changeVolume(1, 10);
	EXPECT_EQ(oxle_volume, 10);
	EXPECT_EQ(volu, 10);
	EXPECT_FALSE(volumeIsVisible);
	EXPECT_FALSE(A::volumeLabel(*w).isShown());
	EXPECT_FALSE(A::volumeHideTimer(*w)->isActive());

	toPlayback(*w, eOXLEEngine::STATUS_PLAYING);
	const int height = A::volumeBarLabel(*w).getPixmap()->getSize().height();
	struct Case
	{
		int volume;
		int width;
	};
	const Case cases[] = {{0, gx}, {63, 0}, {31, gx * 50 / 100}, {62, gx * 1 / 100}, {1, gx * 98 / 100}};
	for (const Case& c : cases)
	{
		avs->changeVolume(1, c.volume);
		EXPECT_EQ(oxle_volume, c.volume);
		EXPECT_TRUE(volumeIsVisible);
		EXPECT_TRUE(A::volumeLabel(*w).isShown());
		EXPECT_TRUE(A::volumeBarLabel(*w).isShown());
		EXPECT_EQ(A::volumeBarLabel(*w).getSize(), eSize(c.width, height)) << c.volume;
		EXPECT_TRUE(A::volumeHideTimer(*w)->isActive());
	}

	// Muted, the bar is empty whatever the volume.
	avs->changeVolume(1, 0);
	avs->toggleMute();
	EXPECT_EQ(oxle_volume, 63);
	EXPECT_EQ(A::volumeBarLabel(*w).getSize().width(), 0);
	avs->toggleMute();
	EXPECT_EQ(A::volumeBarLabel(*w).getSize().width(), gx);

	w->hideVolumeBar();
	EXPECT_FALSE(volumeIsVisible);
	EXPECT_FALSE(A::volumeLabel(*w).isShown());
	EXPECT_FALSE(A::volumeBarLabel(*w).isShown());

	// Out-of-range values from the host make no bar wider than the skin's or negative.
	w->updateVolume(0, -20);
	EXPECT_EQ(A::volumeBarLabel(*w).getSize().width(), gx);
	w->updateVolume(0, 500);
	EXPECT_EQ(A::volumeBarLabel(*w).getSize().width(), 0);
}

TEST_F(OxlePlayback, TheGuardClosesThePluginTheWayExitWould)
{
	struct Case
	{
		const char* label;
		int timerEvent;
		bool browser;
		int status;
		std::vector<std::string> sent;
		int closed;
	};
	const int playing = eOXLEEngine::STATUS_PLAYING;
	const Case cases[] = {
		{"no event", 0, true, playing, {}, notClosed},
		{"browsing", 1, true, eOXLEEngine::STATUS_STOPPED, {}, 0},
		{"playing", 1, false, playing, {"VLC|STP|NOUP"}, 0},
		{"playing behind the browser", 3, true, playing, {"VLC|STP|NOUP"}, 0},
		{"a stream that ended", 1, false, eOXLEEngine::STATUS_STOPPED, {}, 0},
	};
	for (const Case& c : cases)
	{
		SetUp();
		std::unique_ptr<eOXLE> w = openMusic();
		startUp = false;
		tv_volume = 12;
		oxle_volume = 40;
		eAVSwitch::getInstance()->changeVolume(1, 40);
		A::browserVisible(*w) = c.browser;
		setEngineStatus(c.status);
		TIMEREVENT = c.timerEvent;
		volumeIsVisible = true;
		A::volumeLabel(*w).show();
		const size_t mark = requests().size();
		w->closeApp();
		EXPECT_EQ(requestsSince(mark), c.sent) << c.label;
		EXPECT_EQ(closedWith(*w), c.closed) << c.label;
		if (c.closed == notClosed)
		{
			EXPECT_TRUE(volumeIsVisible) << c.label;
			EXPECT_EQ(eAVSwitch::getInstance()->getVolume(), 40) << c.label;
		}
		else
		{
			EXPECT_FALSE(volumeIsVisible) << c.label;
			EXPECT_FALSE(A::volumeLabel(*w).isShown()) << c.label;
			EXPECT_TRUE(A::browserVisible(*w)) << c.label;
			EXPECT_EQ(eAVSwitch::getInstance()->getVolume(), 12) << c.label;
			EXPECT_EQ(configInt(OXLE_KEY("volume")), 40) << c.label;
		}
		w.reset();
		TearDown();
	}
}
