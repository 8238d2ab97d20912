#ifndef OXLE_TESTS_PLUGIN_OXLETESTHOST_H
#define OXLE_TESTS_PLUGIN_OXLETESTHOST_H

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "FakeHttpStream.h"
#include "FakeServer.h"
#include "eMainloop.h"
#include "eOXLE.h"

class eTimer;

// Read and write access to the main window's private state for tests.
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
	static eProgress* volumeProgress(eOXLE& w) { return w.volumeProgress; }
	static eStatusBar* statusBar(eOXLE& w) { return w.statusBar; }
	static eMessageBox* pauseBox(eOXLE& w) { return w.pauseBox; }
	static std::vector<eTimer*> timers(eOXLE& w)
	{
		return {w.statusTimer, w.volumeHideTimer, w.waitTimer, w.infoTimer, w.infoCloseTimer, w.timerListTimer,
			w.closeTimer};
	}
	static eTimer* statusTimer(eOXLE& w) { return w.statusTimer; }
	static eTimer* volumeHideTimer(eOXLE& w) { return w.volumeHideTimer; }
	static eTimer* waitTimer(eOXLE& w) { return w.waitTimer; }
	static eTimer* infoTimer(eOXLE& w) { return w.infoTimer; }
	static eTimer* infoCloseTimer(eOXLE& w) { return w.infoCloseTimer; }
	static eTimer* timerListTimer(eOXLE& w) { return w.timerListTimer; }
	static eTimer* closeTimer(eOXLE& w) { return w.closeTimer; }
	static size_t cachedIcons(eOXLE& w) { return w.iconCache.size(); }
};

// Every test of the window runs on one desktop host (a temporary box root with the
// plugin's pictures, the configuration store, the main loop) and against a fake
// PC-side server on 127.0.0.1 whose replies the test scripts by request.
class OxleWindowTest : public ::testing::Test
{
protected:
	void SetUp() override;
	void TearDown() override;

	// Replies by exact request text; anything unscripted is closed without a reply.
	void reply(const std::string& request, const std::string& text);
	void reply(const std::string& request, FakeServer::Reply r);
	// A server that starts the window connected: player ready, parameters, start
	// directory startDir listed with listing.
	void scriptConnectedStart(const std::string& startDir, const std::string& listing);

	// Points the command channel at a port where nothing listens.
	void useDeadServer();
	// A server that takes the probe but whose player is not ready: an unconnected
	// start without the second-long probe of a dead address.
	void useUnreadyServer() { reply("VLC|STA|NO", "-ERR player not running"); }

	std::unique_ptr<eOXLE> open();
	std::vector<std::string> requests() const { return server->requests(); }
	// Requests after the first count ones.
	std::vector<std::string> requestsSince(size_t count) const;

	// Action of the remote control, delivered to the window's handler.
	static int press(eOXLE& w, const eAction& action);

	// Journal lines of event ev written during this test (all when ev is empty).
	std::vector<nlohmann::json> journal(const std::string& ev = std::string()) const;
	// Text, caption and time-out of every message box shown during this test.
	std::vector<std::string> notices() const;
	// Each showiframe call of this test, by its arguments.
	std::vector<std::string> backgroundShows() const;
	// A scripted stream server whose port the command server gives for "RQS|SPO|NO".
	FakeHttpStream& serveStream(FakeHttpStream::Script script);
	// The engine status as the window reads it.
	static int engineStatus();
	static void setEngineStatus(int status);

	std::unique_ptr<FakeServer> server;
	std::unique_ptr<FakeHttpStream> stream;
	// Closes every modal message box and overlay window soon after it opens, so that a
	// test does not wait for time-outs; what it closed, by class name and title.
	std::vector<std::string> closedModals;

private:
	void closeModals();

	mutable std::mutex lock; // guards replies (read on the server's threads)
	std::map<std::string, FakeServer::Reply> replies;
	std::unique_ptr<eTimer> modalCloser;
	std::string journalPath;
	size_t backgroundShowsBefore = 0;
};

// Transport stream packets of one audio programme (MPEG audio, stream id 0xC0) on pid:
// a PES starts every eighth packet.
std::string audioTransportStream(int pid, int packets);

// The code the window was closed with since it last ran, or notClosed: runs its modal
// loop briefly, so that a close asked for earlier shows.
const int notClosed = 77;
int closedWith(eOXLE& w);

// Runs the GUI loop until done() or about timeoutMs pass; false on time-out.
bool pumpUntil(const std::function<bool()>& done, int timeoutMs);

// Start values of the plugin's process-wide state, as a fresh load has them.
void resetPluginGlobals();

// The desktop location of a box path in the test root.
std::string testRootFile(const std::string& boxPath);
// A list document of the given children.
std::string listDocument(const std::string& children);
std::string dirElement(const std::string& name, const std::string& path);
std::string fileElement(const std::string& name, const std::string& path, const std::string& size = "1048576",
	const std::string& pic = "film.png", const std::string& date = "2024-01-01");
// Configuration values as the store has them now.
std::string configString(const char* key, const std::string& absent = "<absent>");
int configInt(const char* key, int absent = -12345);

#endif
