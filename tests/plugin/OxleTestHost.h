#ifndef OXLE_TESTS_PLUGIN_OXLETESTHOST_H
#define OXLE_TESTS_PLUGIN_OXLETESTHOST_H

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FakeServer.h"
#include "eOXLE.h"

class eTimer;

// Read and write access to the main window's private state for tests.
struct eOXLETestAccess
{
	static std::vector<PLAYLIST>& playlist(eOXLE& w) { return w.playlist; }
	static eListBox<eListBoxEntryOXLE>* listbox(eOXLE& w) { return w.listbox; }
	static int& currentIndex(eOXLE& w) { return w.currentIndex; }
	static bool& browserVisible(eOXLE& w) { return w.browserVisible; }
	static int listMode(eOXLE& w) { return w.listMode; }
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
	static eTimer* infoTimer(eOXLE& w) { return w.infoTimer; }
	static eTimer* timerListTimer(eOXLE& w) { return w.timerListTimer; }
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

	std::unique_ptr<FakeServer> server;

private:
	mutable std::mutex lock; // guards replies (read on the server's threads)
	std::map<std::string, FakeServer::Reply> replies;
};

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
