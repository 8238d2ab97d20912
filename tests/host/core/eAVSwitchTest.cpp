#include <gtest/gtest.h>

#include <climits>
#include <thread>
#include <utility>
#include <vector>

#include "CoreTestSupport.h"
#include "eAVSwitch.h"
#include "eMainloop.h"

TEST(eAVSwitch, VolumeIsClampedAndEveryChangeSignalled)
{
	TestRoot root;
	eAVSwitch* av = eAVSwitch::getInstance();
	if (av->getMute())
		av->toggleMute();
	std::vector<std::pair<int, int>> signalled;
	sigc::connection c = av->volumeChanged.connect([&](int mute, int volume) { signalled.emplace_back(mute, volume); });

	const struct
	{
		int abs, vol, want;
	} steps[] = {
		{1, 31, 31},
		{0, 1, 32},
		{0, -1, 31},
		{1, 63, 63},
		{0, 1, 63},
		{1, 100, 63},
		{1, 0, 0},
		{0, -1, 0},
		{1, -5, 0},
		{0, INT_MAX, 63},
		{0, INT_MIN, 0},
		{0, 10, 10},
	};
	for (const auto& s : steps)
	{
		av->changeVolume(s.abs, s.vol);
		EXPECT_EQ(av->getVolume(), s.want) << s.abs << "," << s.vol;
		ASSERT_FALSE(signalled.empty());
		EXPECT_EQ(signalled.back(), std::make_pair(0, s.want));
	}
	EXPECT_EQ(signalled.size(), sizeof(steps) / sizeof(steps[0]));

	av->toggleMute();
	EXPECT_TRUE(av->getMute());
	EXPECT_EQ(signalled.back(), std::make_pair(1, 10));
	av->toggleMute();
	c.disconnect();

	const auto lines = root.events("volume");
	ASSERT_EQ(lines.size(), sizeof(steps) / sizeof(steps[0]) + 2);
	EXPECT_EQ(lines[0]["value"], 31);
	EXPECT_EQ(lines[0]["mute"], false);
	EXPECT_EQ(lines[lines.size() - 2]["mute"], true);
}

TEST(eAVSwitch, ChangeFromAnotherThreadIsSignalledOnTheGuiThread)
{
	// This thread becomes the application loop's thread.
	eApp->processOneEvent(0);
	std::thread::id signalledOn;
	bool arrived = false;
	sigc::connection c = eAVSwitch::getInstance()->volumeChanged.connect([&](int, int) {
		signalledOn = std::this_thread::get_id();
		arrived = true;
		eApp->exit_loop();
	});
	std::thread other([] { eAVSwitch::getInstance()->changeVolume(1, 12); });
	other.join();
	if (!arrived)
		eApp->enter_loop();
	c.disconnect();
	EXPECT_EQ(signalledOn, std::this_thread::get_id());
	EXPECT_EQ(eAVSwitch::getInstance()->getVolume(), 12);
}
