// The settings window on the desktop host: what it shows when it opens, what it stores
// when it closes, the slider stored at once, the interval number, the shutdown key.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FakeServer.h"
#include "TempBoxRoot.h"
#include "WindowsTestHost.h"
#include "eAction.h"
#include "eCheckbox.h"
#include "eConfig.h"
#include "eLabel.h"
#include "eMainloop.h"
#include "eNumber.h"
#include "eOXLESettings.h"
#include "eSlider.h"
#include "eTextInputField.h"
#include "oxleGlobals.h"

struct eOXLESettingsTestAccess
{
	static eLabel* bufferLabel(eOXLESettings& w) { return w.bufferLabel; }
	static eSlider* bufferSlider(eOXLESettings& w) { return w.bufferSlider; }
	static eCheckbox* continuousPlay(eOXLESettings& w) { return w.continuousPlay; }
	static eCheckbox* intervalInfos(eOXLESettings& w) { return w.intervalInfos; }
	static eCheckbox* mediaDir(eOXLESettings& w) { return w.mediaDir; }
	static eTextInputField* addressField(eOXLESettings& w) { return w.addressField; }
	static eTextInputField* portField(eOXLESettings& w) { return w.portField; }
	static eTextInputField* passwordField(eOXLESettings& w) { return w.passwordField; }
};
using A = eOXLESettingsTestAccess;

namespace
{
const char BUFFERSIZE[] = OXLE_KEY("buffersize");
const char AUTOPLAY_KEY[] = OXLE_KEY("autoplay");
const char MEDIADIR[] = OXLE_KEY("mediadir");
const char AUTOINFO_KEY[] = OXLE_KEY("autoinfo");
const char INFODELAY_KEY[] = OXLE_KEY("infodelay");
const char SERVERIP[] = OXLE_KEY("serverip");
const char SERVERPORT[] = OXLE_KEY("serverport");
const char* const OLD_KEYS[] = {OXLE_KEY("checkset"), OXLE_KEY("vlcVersion"), OXLE_KEY("mainOS")};
const int ABSENT = -1;

class SettingsWindow : public ::testing::Test
{
protected:
	void SetUp() override
	{
		for (const char* key : {BUFFERSIZE, AUTOPLAY_KEY, MEDIADIR, AUTOINFO_KEY, INFODELAY_KEY})
			eConfig::getInstance()->delKey(key);
		for (const char* key : OLD_KEYS)
			eConfig::getInstance()->delKey(key);
		// No server listens on the port of a closed fake; a test that needs one opens it.
		useLoopbackServer(TempBoxRoot::DEFAULT_COMMAND_PORT);
		fd = 20;
		myPass = "";
		AUTOPLAY = AUTOINFO = 1;
		INFODELAY = 300000;
		CONNECTION = true;
	}
	void TearDown() override { useLoopbackServer(TempBoxRoot::DEFAULT_COMMAND_PORT); }

	static void setIntKey(const char* key, int value)
	{
		if (value == ABSENT)
			eConfig::getInstance()->delKey(key);
		else
			eConfig::getInstance()->setKey(key, value);
	}

	// The store's file as flushed.
	static std::string storeFile() { return windowsTestRoot().readFile(TempBoxRoot::CONFIG_FILE); }
};
} // namespace

TEST_F(SettingsWindow, OpeningShowsTheStoredSettingsTable)
{
	struct Case
	{
		const char* what;
		int buffersize, autoplay, mediadir, autoinfo, infodelay; // ABSENT: key not stored
		int wantSlider;
		const char* wantLabel;
		int wantNumber;
	};
	const Case cases[] = {
		{"nothing stored", ABSENT, ABSENT, ABSENT, ABSENT, ABSENT, 16, "Buffersize [64%]:", 5},
		{"buffer size 2 opens as 16", 2, 1, 0, 1, 7, 16, "Buffersize [64%]:", 7},
		{"buffer size 26 opens as 16", 26, 0, 1, 0, 12, 16, "Buffersize [64%]:", 12},
		{"lowest usable size", 4, 1, 1, 1, 1, 4, "Buffersize [16%]:", 1},
		{"highest usable size", 25, 0, 0, 0, 0, 25, "Buffersize [100%]:", 0},
		{"the interval is not range-checked", 10, 0, 0, 1, 120, 10, "Buffersize [40%]:", 120},
	};
	for (const Case& c : cases)
	{
		SCOPED_TRACE(c.what);
		setIntKey(BUFFERSIZE, c.buffersize);
		setIntKey(AUTOPLAY_KEY, c.autoplay);
		setIntKey(MEDIADIR, c.mediadir);
		setIntKey(AUTOINFO_KEY, c.autoinfo);
		setIntKey(INFODELAY_KEY, c.infodelay);
		auto w = std::make_unique<eOXLESettings>();
		EXPECT_EQ(A::bufferSlider(*w)->getValue(), c.wantSlider);
		EXPECT_EQ(A::bufferLabel(*w)->getText(), c.wantLabel);
		EXPECT_EQ(A::continuousPlay(*w)->isChecked(), c.autoplay == 1);
		EXPECT_EQ(A::mediaDir(*w)->isChecked(), c.mediadir == 1);
		EXPECT_EQ(A::intervalInfos(*w)->isChecked(), c.autoinfo == 1);
		ASSERT_NE(infoDelay, nullptr);
		EXPECT_EQ(infoDelay->getNumber(), c.wantNumber);
		// The number and its label show only with the interval box checked.
		EXPECT_EQ(infoDelay->isShown(), c.autoinfo == 1);
		EXPECT_EQ(l_delay->isShown(), c.autoinfo == 1);
		EXPECT_EQ(A::intervalInfos(*w)->getText(), c.autoinfo == 1 ? "Interval Infos. Timeinterval" : "Interval Infos");
		EXPECT_EQ(A::addressField(*w)->getText(), "127.0.0.1");
		EXPECT_EQ(A::portField(*w)->getText(), "12050");
		EXPECT_EQ(A::passwordField(*w)->getText(), "");
	}
}

TEST_F(SettingsWindow, ClosingStoresEverySettingTable)
{
	struct Case
	{
		const char* what;
		bool autoplay, mediadir, autoinfo;
		int slider, interval;
		const char *address, *port, *password;
		int wantDelayKey, wantDelayMs;
	};
	const Case cases[] = {
		{"interval 0 is stored as 5", true, false, true, 3, 0, "127.0.0.1", "12050", "", 5, 300000},
		{"interval 7", false, true, false, 25, 7, "10.0.0.99", "8", "4711", 7, 420000},
		{"everything off", false, false, false, 0, 99, "", "", "97531", 99, 99 * 60000},
	};
	for (const Case& c : cases)
	{
		SCOPED_TRACE(c.what);
		eConfig::getInstance()->setKey(OLD_KEYS[0], 1);
		eConfig::getInstance()->setKey(OLD_KEYS[1], "0.8.6");
		eConfig::getInstance()->setKey(OLD_KEYS[2], "win");
		AUTOPLAY = AUTOINFO = -1;
		{
			eOXLESettings w;
			A::continuousPlay(w)->setCheck(c.autoplay);
			A::mediaDir(w)->setCheck(c.mediadir);
			A::intervalInfos(w)->setCheck(c.autoinfo);
			A::bufferSlider(w)->setValue(c.slider);
			infoDelay->setNumber(c.interval);
			A::addressField(w)->setText(c.address);
			A::portField(w)->setText(c.port);
			A::passwordField(w)->setText(c.password);
		}
		EXPECT_EQ(infoDelay, nullptr);
		EXPECT_EQ(configInt(AUTOPLAY_KEY), c.autoplay ? 1 : 0);
		EXPECT_EQ(AUTOPLAY, c.autoplay ? 1 : 0);
		EXPECT_EQ(configInt(MEDIADIR), c.mediadir ? 1 : 0);
		EXPECT_EQ(configInt(AUTOINFO_KEY), c.autoinfo ? 1 : 0);
		EXPECT_EQ(AUTOINFO, c.autoinfo ? 1 : 0);
		EXPECT_EQ(configInt(INFODELAY_KEY), c.wantDelayKey);
		EXPECT_EQ(INFODELAY, c.wantDelayMs);
		EXPECT_EQ(configInt(BUFFERSIZE), c.slider);
		EXPECT_EQ(configString(SERVERIP), c.address);
		EXPECT_EQ(configString(SERVERPORT), c.port);
		EXPECT_EQ(myPass, c.password);
		for (const char* key : OLD_KEYS)
		{
			EXPECT_EQ(configInt(key), -12345) << key;
			EXPECT_EQ(configString(key), "<absent>") << key;
		}
		// Closing flushes the store, and the password is never in it.
		const std::string flushed = storeFile();
		EXPECT_NE(flushed.find(std::string(BUFFERSIZE) + "=" + std::to_string(c.slider)), std::string::npos);
		EXPECT_EQ(flushed.find("checkset"), std::string::npos) << flushed;
		if (*c.password)
		{
			EXPECT_EQ(flushed.find(c.password), std::string::npos) << flushed;
		}
		useLoopbackServer(TempBoxRoot::DEFAULT_COMMAND_PORT);
	}
}

TEST_F(SettingsWindow, OpeningAndClosingUntouchedWritesTheShownValues)
{
	eConfig::getInstance()->setKey(BUFFERSIZE, 2);
	eConfig::getInstance()->delKey(SERVERIP);
	eConfig::getInstance()->delKey(SERVERPORT);
	{
		eOXLESettings w;
		EXPECT_EQ(A::addressField(w)->getText(), "192.168.0.10");
	}
	EXPECT_EQ(configInt(BUFFERSIZE), 16);
	EXPECT_EQ(configInt(AUTOPLAY_KEY), 0);
	EXPECT_EQ(configInt(MEDIADIR), 0);
	EXPECT_EQ(configInt(AUTOINFO_KEY), 0);
	EXPECT_EQ(configInt(INFODELAY_KEY), 5);
	EXPECT_EQ(configString(SERVERIP), "192.168.0.10");
	EXPECT_EQ(configString(SERVERPORT), "12050");
	// Nothing may ever be sent there: back to loopback at once.
	useLoopbackServer(TempBoxRoot::DEFAULT_COMMAND_PORT);
}

TEST_F(SettingsWindow, TheSliderIsStoredAtEveryChange)
{
	eConfig::getInstance()->setKey(BUFFERSIZE, 4);
	{
		eOXLESettings w;
		eSlider* slider = A::bufferSlider(w);
		ASSERT_EQ(slider->getValue(), 4);
		press(*slider, i_cursorActions->left);
		EXPECT_EQ(slider->getValue(), 3);
		EXPECT_EQ(configInt(BUFFERSIZE), 3);
		EXPECT_NE(storeFile().find(std::string(BUFFERSIZE) + "=3"), std::string::npos) << "flushed at once";
		EXPECT_EQ(A::bufferLabel(w)->getText(), "Buffersize [12%]:");
		press(*slider, i_cursorActions->right);
		press(*slider, i_cursorActions->right);
		EXPECT_EQ(configInt(BUFFERSIZE), 5);
		EXPECT_EQ(A::bufferLabel(w)->getText(), "Buffersize [20%]:");
		press(*slider, i_cursorActions->left);
		press(*slider, i_cursorActions->left);
	}
	EXPECT_EQ(configInt(BUFFERSIZE), 3);
	eOXLESettings again;
	EXPECT_EQ(A::bufferSlider(again)->getValue(), 16);
	EXPECT_EQ(A::bufferLabel(again)->getText(), "Buffersize [64%]:");
}

TEST_F(SettingsWindow, TheIntervalBoxShowsAndHidesTheNumber)
{
	eConfig::getInstance()->setKey(AUTOINFO_KEY, 0);
	eOXLESettings w;
	eCheckbox* box = A::intervalInfos(w);
	const struct
	{
		bool checked;
		const char* text;
	} steps[] = {{false, "Interval Infos"}, {true, "Interval Infos. Timeinterval"}, {false, "Interval Infos"}};
	bool first = true;
	for (const auto& step : steps)
	{
		if (!first)
			press(*box, i_cursorActions->ok);
		first = false;
		EXPECT_EQ(box->isChecked(), step.checked);
		EXPECT_EQ(box->getText(), step.text);
		EXPECT_EQ(infoDelay->isShown(), step.checked);
		EXPECT_EQ(l_delay->isShown(), step.checked);
	}
}

TEST_F(SettingsWindow, BlueShutsThePcDownAndTheWindowStays)
{
	FakeServer::Options options;
	options.idleMs = 30;
	FakeServer server([](const std::string&) { return FakeServer::Reply::text("+ok"); }, options);
	ASSERT_TRUE(server.ok()) << server.error();
	useLoopbackServer(server.port());
	eOXLESettings w;
	w.show();
	press(w, i_shortcutActions->blue);
	ASSERT_TRUE(server.waitForRequests(1, 2000));
	EXPECT_EQ(server.requests(), std::vector<std::string>{"RQS|CLW|NO"});
	EXPECT_FALSE(CONNECTION);
	EXPECT_TRUE(w.isShown());
	w.hide();
}

TEST_F(SettingsWindow, ExitEndsTheWindowAndClosingSaves)
{
	eConfig::getInstance()->setKey(AUTOPLAY_KEY, 0);
	auto w = std::make_unique<eOXLESettings>();
	w->show();
	A::continuousPlay(*w)->setCheck(1);
	eApp->post([&w] { press(*w, i_cursorActions->cancel); });
	EXPECT_EQ(w->exec(), -1);
	w->hide();
	w.reset();
	EXPECT_EQ(configInt(AUTOPLAY_KEY), 1);
	EXPECT_EQ(AUTOPLAY, 1);
}
