#ifndef OXLE_TESTS_WINDOWS_INFOBARFIXTURE_H
#define OXLE_TESTS_WINDOWS_INFOBARFIXTURE_H

// The infobar's tests on the desktop host: a fake server that answers the status query,
// the plugin's globals as a playing file has them, and helpers to look into the bar.
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "DesktopServices.h"
#include "FakeServer.h"
#include "KeyInput.h"
#include "ModalStack.h"
#include "Screen.h"
#include "TempBoxRoot.h"
#include "WindowsTestHost.h"
#include "eAVSwitch.h"
#include "eAction.h"
#include "eConfig.h"
#include "eDesktopSkin.h"
#include "eLabel.h"
#include "eMainloop.h"
#include "eOXLEInfo.h"
#include "eProgress.h"
#include "oxleGlobals.h"

struct eOXLEInfoTestAccess
{
	static eLabel& logo(eOXLEInfo& w) { return w.logo; }
	static eTimer* titleTimer(eOXLEInfo& w) { return w.titleTimer.get(); }
	static eTimer* clockTimer(eOXLEInfo& w) { return w.clockTimer.get(); }
	static eLabel* fulltime(eOXLEInfo& w) { return w.fulltimeLabel; }
	static eLabel* time(eOXLEInfo& w) { return w.timeLabel; }
	static eLabel* nowTitle(eOXLEInfo& w) { return w.nowTitle; }
};
using A = eOXLEInfoTestAccess;

namespace infobartest
{
namespace fs = std::filesystem;

const char GEMINI[] = "/var/etc/Gemini.conf";
const char LOGO[] = OXLE_PICTURES "oxle.png";
const char DEFAULT_LOGO[] = "/var/tuxbox/config/enigma/pictures/picon/default.png";
const int SKIN_BAR_X = 0, SKIN_BAR_Y = 400;
const int SKIN_EVENT_BAR_WIDTH = 500, SKIN_EVENT_BAR_HEIGHT = 10;
const int GUARD_MS = 30000;
const char NAME_25[] = "abcdefghijklmnopqrstuvwxy";
const char NAME_26[] = "abcdefghijklmnopqrstuvwxyz";
const char* const OFFSET_KEYS[] = {
	"/extras/ezap_offset_x", "/enigma/infobar_offset_x", "/extras/ezap_offset_y", "/enigma/infobar_offset_y"};

inline std::string statusDocument(
	int time, int length, int position, const std::string& codec, const std::string& resolution)
{
	return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root><time>" + std::to_string(time) + "</time><length>" +
		std::to_string(length) + "</length><position>" + std::to_string(position) +
		"</position><information><category name=\"Stream 0\"><info name=\"Codec\">" + codec +
		"</info><info name=\"Aufl\xC3\xB6sung\">" + resolution + "</info></category></information></root>";
}

inline bool writePicture(const std::string& boxPath, int width, int height, uint32_t argb)
{
	const std::string file = windowsTestRoot().file(boxPath);
	std::error_code error;
	fs::create_directories(fs::path(file).parent_path(), error);
	std::vector<uint32_t> pixels(size_t(width) * size_t(height), argb);
	return savePNG(file, pixels.data(), width, height);
}

inline void removeFile(const std::string& boxPath)
{
	std::error_code error;
	fs::remove(windowsTestRoot().file(boxPath), error);
}

inline eLabel* label(eOXLEInfo& w, const char* name)
{
	return dynamic_cast<eLabel*>(w.search(name));
}

inline std::string text(eOXLEInfo& w, const char* name)
{
	eWidget* found = w.search(name);
	return found ? std::string(found->getText()) : "<missing " + std::string(name) + ">";
}

inline bool shown(eOXLEInfo& w, const char* name)
{
	eWidget* found = w.search(name);
	return found && found->isShown();
}

// Runs the infobar's modal loop; during it, after delayMs, calls during. A guard presses
// exit should the infobar not close by itself within GUARD_MS.
inline int runModal(eOXLEInfo& w, int delayMs, std::function<void()> during, bool& guardFired)
{
	eTimer step(eApp), guard(eApp);
	step.timeout.connect([&] { during(); });
	guard.timeout.connect([&] {
		guardFired = true;
		KeyInput::press("exit");
	});
	guardFired = false;
	w.show();
	step.start(delayMs, true);
	guard.start(GUARD_MS, true);
	const int result = w.exec();
	w.hide();
	return result;
}

class Infobar : public ::testing::Test
{
protected:
	void SetUp() override
	{
		setStatus(statusDocument(600, 5400, 11, "mpeg2video", "720x576"));
		server = std::make_unique<FakeServer>([this](const std::string& request) {
			std::lock_guard<std::mutex> guard(lock);
			if (request == "VLC|GTI|NO" && !status.empty())
				return FakeServer::Reply::text(status);
			return FakeServer::Reply::closeWithoutReply();
		});
		ASSERT_TRUE(server->ok()) << server->error();
		useLoopbackServer(server->port());

		loadFile = "Holiday.avi";
		nextFile = "Next.mpg";
		startHour = 20;
		startMin = 15;
		seek = 0;
		sMode = false;
		JumpInMinutes = 1;
		hasPicon = false;
		isGemini = true;
		f_support = true;
		infoIsVisible = false;
		posx = 200;
		posy = 300;
		for (const char* key : OFFSET_KEYS)
			eConfig::getInstance()->delKey(key);
		removeFile(GEMINI);
		removeFile(LOGO);
		removeFile(DEFAULT_LOGO);
	}

	void TearDown() override
	{
		for (const char* key : OFFSET_KEYS)
			eConfig::getInstance()->delKey(key);
		useLoopbackServer(TempBoxRoot::DEFAULT_COMMAND_PORT);
		server.reset();
	}

	void setStatus(const std::string& document)
	{
		std::lock_guard<std::mutex> guard(lock);
		status = document;
	}

	std::unique_ptr<FakeServer> server;

private:
	std::mutex lock; // guards status (read on the server's threads)
	std::string status;
};
} // namespace infobartest

#endif
