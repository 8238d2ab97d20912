#ifndef OXLE_TESTS_PLUGIN_WINDOWTEST_H
#define OXLE_TESTS_PLUGIN_WINDOWTEST_H

// Friend access to the main window; a fixture that scripts a fake server by request, resets
// the plugin's globals and answers every modal window, so that a key handler running one returns.
#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../browser/ListXml.h"
#include "DesktopServices.h"
#include "FakeHttpStream.h"
#include "FakeServer.h"
#include "HostTestEnv.h"
#include "KeyInput.h"
#include "ModalStack.h"
#include "StreamTimings.h"
#include "eConfig.h"
#include "eDVB.h"
#include "eListBoxEntryOXLE.h"
#include "eMessageBox.h"
#include "eOXLE.h"
#include "eOXLEEngine.h"
#include "eTCP.h"
#include "oxleConfig.h"
#include "oxleGlobals.h"

// Short command-channel waits: a silent server costs a test well under a second.
inline const bool quickCommandChannel = HostTestEnv::atSetUp([] { eTCP::setTimeoutsForTesting(1000, 800); });

struct eOXLETestAccess
{
	static std::vector<PLAYLIST>& playlist(eOXLE& w) { return w.playlist; }
	static eListBox<eListBoxEntryOXLE>* listbox(eOXLE& w) { return w.listbox; }
	static int& currentIndex(eOXLE& w) { return w.currentIndex; }
	static bool& browserVisible(eOXLE& w) { return w.browserVisible; }
	static int& listMode(eOXLE& w) { return w.listMode; }
	static eServiceReference& savedService(eOXLE& w) { return w.savedService; }
	static eLabel& volumeLabel(eOXLE& w) { return w.volumeLabel; }
	static eLabel& volumeBarLabel(eOXLE& w) { return w.volumeBarLabel; }
	static eMessageBox* pauseBox(eOXLE& w) { return w.pauseBox; }
	static eTimer* statusTimer(eOXLE& w) { return w.statusTimer; }
	static eTimer* infoTimer(eOXLE& w) { return w.infoTimer; }
	static eTimer* timerListTimer(eOXLE& w) { return w.timerListTimer; }
	static eTimer* closeTimer(eOXLE& w) { return w.closeTimer; }
	static size_t cachedIcons(eOXLE& w) { return w.iconCache.size(); }
};

class OxleWindowTest : public ::testing::Test
{
protected:
	using A = eOXLETestAccess;
	static constexpr const char* START_DIR = "C:\\media";
	static constexpr int ABSENT = -1;
	static constexpr int STOPPED = eOXLEEngine::STATUS_STOPPED;
	static constexpr int PLAYING = eOXLEEngine::STATUS_PLAYING;
	static constexpr int PAUSED = eOXLEEngine::STATUS_PAUSED;
	static constexpr int STARTED = eOXLEEngine::STATUS_STARTED;

	void SetUp() override
	{
		fd = 20;
		isGemini = startUp = true;
		AUTOPLAY = AUTOINFO = audioChannel = 1;
		INFODELAY = 300000;
		CONNECTION = switchButton = jump_changed = seekskip = sMode = AC_3 = false;
		startdir = cddrive = lastDir = l_path = loadFile = nextFile = myPass = "";
		shutDown = jump = jump_old = JumpInMinutes = seek = startHour = startMin = 0;
		started = waitStart = paused = infoIsVisible = i_isVisible = volumeIsVisible = false;
		oxle_volume = tv_volume = volu = currVol = TIMEREVENT = 0;
		stopEngine();
		resetStreamTimings(); // a stream starts and ends in a blink
		StreamTimings& t = streamTimings();
		t.connectTriesPerSecond = 10;
		t.connectRetryMs = t.endOfStreamWaitMs = 10;
		t.answerWaitMs = t.prebufferSilenceMs = 300;
		t.prebufferReadPauseMs = t.startSettleMs = t.decoderSettleMs = 0;
		t.emptyPollLimitVideo = t.emptyPollLimitAudio = 20;
		t.idleCheckMs = 5;
		eDVB::getInstance()->time_difference = 0;
		DesktopServices::setRunningService("Desktop TV");
		for (const char* key : {OXLE_KEY("lastmode"), OXLE_KEY("mediadir"), OXLE_KEY("autoplay"), OXLE_KEY("autoinfo"),
				 OXLE_KEY("infodelay"), OXLE_KEY("lastPath"), OXLE_KEY("volume")})
			eConfig::getInstance()->delKey(key);
		std::remove(HostTestEnv::root().file("/var/tuxbox/config/enigma/timer.epl").c_str());
		modalCloser = std::make_unique<eTimer>(eApp);
		modalCloser->timeout.connect([this] {
			eWidget* top = ModalStack::top();
			if (!top || dynamic_cast<eOXLE*>(top))
				return;
			closedModals.push_back(top->getText());
			KeyInput::press(dynamic_cast<eMessageBox*>(top) ? "ok" : "exit"); // as the viewer does it
		});
		modalCloser->start(MODAL_CHECK_MS, false);
		FakeServer::Options options;
		options.idleMs = REQUEST_IDLE_MS;
		server = std::make_unique<FakeServer>(
			[this](const std::string& request) {
				std::lock_guard<std::mutex> hold(lock);
				const auto found = replies.find(request);
				return found == replies.end() ? FakeServer::Reply::closeWithoutReply() : found->second;
			},
			options);
		ASSERT_TRUE(server->ok()) << server->error();
		HostTestEnv::useServer(server->port());
	}

	void TearDown() override
	{
		modalCloser.reset();
		stopEngine();
		stream.reset();
		server.reset();
		resetStreamTimings();
	}

	// By exact request text; anything unscripted is closed without a reply.
	void reply(const std::string& request, FakeServer::Reply r)
	{
		std::lock_guard<std::mutex> hold(lock);
		replies[request] = std::move(r);
	}
	void reply(const std::string& request, const std::string& text) { reply(request, FakeServer::Reply::text(text)); }
	// A stored number; ABSENT deletes the key.
	static void store(const char* key, int value)
	{
		value == ABSENT ? (void)eConfig::getInstance()->delKey(key) : (void)eConfig::getInstance()->setKey(key, value);
	}

	// A shown window that connected and listed dir; sent() counts from after the start.
	std::unique_ptr<eOXLE> openConnected(const std::string& listing, const std::string& dir = START_DIR)
	{
		reply("VLC|STA|NO", "+ok");
		// A stream port where nothing listens: a start fails unless the test serves a stream.
		reply("RQS|SPO|NO", std::to_string(FakeServer::freePort()));
		reply("RQS|STD|NO", dir);
		reply("RQS|CDD|NO", "D:");
		reply("VLC|GFL|" + dir, listing);
		auto w = std::make_unique<eOXLE>();
		EXPECT_TRUE(CONNECTION);
		w->show();
		mark();
		return w;
	}
	// The server takes the probe but its player is not ready: a quick unconnected start.
	std::unique_ptr<eOXLE> openUnconnected()
	{
		reply("VLC|STA|NO", "-ERR player not running");
		auto w = std::make_unique<eOXLE>();
		mark();
		return w;
	}

	void mark() { requestMark = server->requests().size(); }
	std::vector<std::string> sent() const
	{
		const std::vector<std::string> all = server->requests();
		return std::vector<std::string>(all.begin() + long(std::min(requestMark, all.size())), all.end());
	}
	static void toPlayback(eOXLE& w, int status = PLAYING)
	{
		A::browserVisible(w) = false;
		setStatus(status);
	}
	static eListBoxEntryOXLE* row(eOXLE& w, int index)
	{
		for (eListBoxEntry* e : A::listbox(w)->getEntries())
			if (static_cast<eListBoxEntryOXLE*>(e)->getIndex() == index)
				return static_cast<eListBoxEntryOXLE*>(e);
		return nullptr;
	}
	static std::vector<std::string> rowTexts(eOXLE& w)
	{
		std::vector<std::string> texts;
		for (eListBoxEntry* e : A::listbox(w)->getEntries())
			texts.push_back(static_cast<eListBoxEntryOXLE*>(e)->getText());
		return texts;
	}
	static void setStatus(int status) { eOXLEEngine::getInstance()->status = status; }
	static int status() { return eOXLEEngine::getInstance()->status.load(); }
	std::unique_ptr<FakeServer> server;
	std::unique_ptr<FakeHttpStream> stream;
	std::vector<std::string> closedModals; // titles of the modal windows the fixture closed

private:
	static constexpr int MODAL_CHECK_MS = 5;
	static constexpr int REQUEST_IDLE_MS = 30;

	// Ends a stream a test left running; the GUI thread takes back what the threads handed it.
	static void stopEngine()
	{
		eOXLEEngine* engine = eOXLEEngine::getInstance();
		if (status() != STOPPED && status() != eOXLEEngine::STATUS_ERROR)
		{
			engine->status = eOXLEEngine::STATUS_CLOSING;
			engine->control("stop", "", "", "", 0);
		}
		engine->status = STOPPED;
		eApp->processOneEvent(0);
	}

	std::mutex lock; // guards replies (read on the server's threads)
	std::map<std::string, FakeServer::Reply> replies;
	std::unique_ptr<eTimer> modalCloser;
	size_t requestMark = 0;
};

#endif
