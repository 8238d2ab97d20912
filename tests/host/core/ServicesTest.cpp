#include <gtest/gtest.h>

#include <sstream>

#include "CoreTestSupport.h"
#include "DesktopServices.h"
#include "eAction.h"
#include "eDVB.h"
#include "eDesktopTimerManager.h"
#include "eServiceInterface.h"
#include "eTimerManager.h"
#include "eZapLCD.h"

TEST(eTimerManager, CountsEventsOfTheTimerList)
{
	const struct
	{
		const char* file;
		int events;
	} cases[] = {
		{"", 0},
		{"#TYPE 1\n#TIME_BEGIN 1700000000\n#DURATION 3600\n#TYPE 1\n#TIME_BEGIN 1700009000\n#DURATION 60\n", 2},
		{"#TIME_BEGIN 1700000000\n#DURATION 3600\n#TIME_BEGIN 1700009000\n#DURATION 60\n", 2},
		{"#TIME_BEGIN 1700000000\n#TYPE 4\n#DURATION 5\n#TIME_BEGIN 1700009000\n#TYPE 4\n", 2},
		{"#LAST_ACTIVATION 1699990000\n", 1},
		{"#TYPE 1\n#TIME_BEGIN 86400\n#LAST_ACTIVATION 1\n#DURATION 5\n", 1},
		{"#DURATION 60\nsome text\n", 0},
		{"  #TIME_BEGIN 1\nname #TIME_BEGIN inside a description\n", 1},
	};
	for (const auto& c : cases)
	{
		std::istringstream in(c.file);
		EXPECT_EQ(eDesktopTimerManager::countEvents(in), c.events) << c.file;
	}

	TestRoot root;
	EXPECT_EQ(eTimerManager::getInstance()->getTimerCount(), 0) << "missing file";
	root.write("/var/tuxbox/config/enigma/timer.epl", cases[1].file);
	EXPECT_EQ(eTimerManager::getInstance()->getTimerCount(), 2);
}

TEST(eServiceInterface, StopAndPlayMoveTheRunningServiceAndAreJournalled)
{
	TestRoot root;
	DesktopServices::setRunningService("Channel One");
	eServiceInterface* si = eDVB::getInstance()->getServiceAPI();
	ASSERT_EQ(si, eServiceInterface::getInstance());

	const eServiceReference saved = si->service;
	ASSERT_TRUE(saved.valid());
	EXPECT_EQ(si->stop(0), 0);
	EXPECT_FALSE(si->service.valid());
	EXPECT_EQ(si->play(saved), 0);
	EXPECT_EQ(si->service, saved);
	EXPECT_NE(si->play(eServiceReference()), 0);
	EXPECT_EQ(si->service, saved) << "an invalid reference does not replace the running one";

	const auto lines = root.events("service");
	ASSERT_EQ(lines.size(), 2u);
	EXPECT_EQ(lines[0]["op"], "stop");
	EXPECT_EQ(lines[1]["op"], "play");
	EXPECT_EQ(lines[0]["ref"], lines[1]["ref"]);
	EXPECT_NE(lines[0]["ref"].get<std::string>().find("Channel One"), std::string::npos);

	eServiceReference other = saved;
	other.data[1] += 1;
	EXPECT_NE(other, saved);
	other = saved;
	other.descr = "renamed";
	EXPECT_EQ(other, saved);
}

TEST(eZapLCD, ServiceNameIsKeptAndJournalled)
{
	TestRoot root;
	eZapLCD* lcd = eZapLCD::getInstance();
	ASSERT_NE(lcd->lcdMain, nullptr);
	ASSERT_NE(lcd->lcdMenu, nullptr);
	ASSERT_NE(lcd->lcdStandby, nullptr);
	lcd->lcdMenu->hide();
	lcd->lcdMain->setServiceName("OXLE");
	lcd->lcdMain->show();
	// A Latin-1 name is not UTF-8; the journal still gets a readable line.
	lcd->lcdMain->setServiceName("M\xfcnchen.mpg");
	EXPECT_EQ(DesktopServices::lcdText(), "M\xfcnchen.mpg");

	const auto texts = root.events("lcd");
	ASSERT_EQ(texts.size(), 2u);
	EXPECT_EQ(texts[0]["text"], "OXLE");
	const auto pages = root.events("lcd_page");
	ASSERT_EQ(pages.size(), 2u);
	EXPECT_EQ(pages[0]["page"], "menu");
	EXPECT_EQ(pages[0]["visible"], false);
}

TEST(eDVB, TimeOffset)
{
	DesktopServices::setTimeOffset(-3600);
	EXPECT_EQ(eDVB::getInstance()->time_difference, -3600);
}

TEST(eActionMap, EntriesByPosition)
{
	const eActionMap& cursor = i_cursorActions->map;
	EXPECT_EQ(cursor.entry(0), &i_cursorActions->up);
	EXPECT_EQ(cursor.entry(3), &i_cursorActions->right);
	EXPECT_EQ(cursor.entry(7), &i_cursorActions->ok);
	EXPECT_EQ(cursor.entry(9), &i_cursorActions->help);
	EXPECT_EQ(cursor.entry(-1), nullptr);
	EXPECT_EQ(cursor.entry(cursor.size()), nullptr);
	EXPECT_EQ(i_shortcutActions->map.entry(13), &i_shortcutActions->blue);
	EXPECT_EQ(i_shortcutActions->blue.getMap(), &i_shortcutActions->map);
}
