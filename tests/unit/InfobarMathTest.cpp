// The infobar's figures on plain numbers and texts: remaining and end time, the clock,
// the position bar, the title scroll.
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "InfobarMath.h"

namespace
{
const int MINUTE = 60, HOUR = 3600;

TEST(InfobarMath, RemainingAndEndTimeAndThePositionBar)
{
	// length, time played, remaining text and seconds
	const std::tuple<int, int, const char*, int> remaining[] = {
		{60, 0, "+0 min", 60}, {61, 0, "+1 min", 61}, {100, 400, "+0 min", 0}}; // played past the announced length
	for (const auto& [length, time, text, seconds] : remaining)
	{
		EXPECT_EQ(remainingText(length, time), text) << length << " - " << time;
		PlayStatus s;
		s.length = length;
		s.time = time;
		EXPECT_EQ(remainingSeconds(s), seconds) << length << " - " << time;
	}
	// length, minutes sought forward, start hour and minute, end
	const std::tuple<int, int, int, int, const char*> ends[] = {{54 * MINUTE, 0, 20, 5, "20:59"},
		{55 * MINUTE, 0, 20, 5, "21:00"}, {20 * MINUTE, 0, 23, 50, "00:10"},     // across midnight
		{30 * HOUR, 0, 20, 0, "02:00"},                                          // longer than a day
		{90 * MINUTE, 30, 20, 15, "21:15"}, {10 * MINUTE, 11, 20, 15, "20:15"}}; // sought past the end: the start
	for (const auto& [length, seek, hour, minute, text] : ends)
	{
		const ClockTime end = expectedEnd(length, seek, hour, minute);
		EXPECT_EQ(hourMinute(end.hour, end.minute), text) << length << " s, seek " << seek;
	}
	// 420 / 100 = 4 pixels a hundredth; the position is held to 0..100.
	const std::pair<int, int> bars[] = {{0, 0}, {100, 400}, {101, 400}, {-5, 0}};
	for (const auto& [position, width] : bars)
		EXPECT_EQ(positionBarWidth(420, position), width) << position;
}

TEST(InfobarMath, ClockSeparatorsBlinkAndLongTitlesScrollAndComeBack)
{
	std::tm t{};
	t.tm_hour = 23;
	t.tm_min = 59;
	t.tm_sec = 9;
	bool shown = false;
	EXPECT_EQ(clockText(t, true, shown), "23.59.09");
	EXPECT_EQ(clockText(t, true, shown), "23:59:09");
	shown = true;
	EXPECT_EQ(clockText(t, false, shown), "23.59.09");
	EXPECT_TRUE(shown);

	for (const std::string name : {"abcdefghijklmnopqrstuvwxy", "abcdefghijklmnopqrstuvwxyz"})
	{
		std::vector<std::string> expected; // 25 bytes stand still
		if (name.size() > 25)
		{
			for (size_t drop = 0; drop <= 5; ++drop) // to the left, one byte a tick, until 20 would remain
				expected.push_back(name.substr(drop));
			for (size_t drop = 5; drop > 0; --drop) // back, growing from the left
				expected.push_back(name.substr(drop));
			for (size_t blanks = 0; blanks < 5; ++blanks) // to five blanks in front
				expected.push_back(std::string(blanks, ' ') + name);
			expected.insert(expected.end(), {name, name.substr(1)}); // and over again
		}
		TitleScroll scroll;
		scroll.start(name);
		std::vector<std::string> seen;
		eString text;
		for (size_t tick = 0; tick < (expected.empty() ? 40 : expected.size()); ++tick)
			if (scroll.step(name, text))
				seen.push_back(text);
		EXPECT_EQ(seen, expected);
	}
}
} // namespace
