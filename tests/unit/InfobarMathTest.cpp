// The infobar's figures on plain numbers and texts: remaining and end time, the clock,
// the position bar, the title scroll, the self-closing count, the play-status reader.
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "InfobarMath.h"

namespace
{
const int MINUTE = 60, HOUR = 3600;

TEST(InfobarMath, RemainingTimeCountsWholeMinutesAboveOne)
{
	const std::tuple<int, int, const char*, int> cases[] = {
		// length, time played, remaining text and seconds
		{60, 0, "+0 min", 60}, {61, 0, "+1 min", 61}, {HOUR + 59, 0, "+60 min", HOUR + 59},
		{100, 400, "+0 min", 0}, // played past the announced length
	};
	for (const auto& [length, time, text, seconds] : cases)
	{
		EXPECT_EQ(remainingText(length, time), text) << length << " - " << time;
		PlayStatus s;
		s.length = length;
		s.time = time;
		EXPECT_EQ(remainingSeconds(s), seconds) << length << " - " << time;
	}
}

TEST(InfobarMath, ExpectedEndFromStartLengthAndSeek)
{
	const std::tuple<int, int, int, int, const char*> cases[] = {
		// length, minutes sought forward, start hour and minute, end
		{54 * MINUTE, 0, 20, 5, "20:59"}, {55 * MINUTE, 0, 20, 5, "21:00"}, {56 * MINUTE, 0, 20, 5, "21:01"},
		{20 * MINUTE, 0, 23, 50, "00:10"}, // across midnight
		{30 * HOUR, 0, 20, 0, "02:00"},    // longer than a day: still a time of day
		{90 * MINUTE, 30, 20, 15, "21:15"}, {10 * MINUTE, 11, 20, 15, "20:15"}, // seek past the length: the start time
	};
	for (const auto& [length, seek, hour, minute, text] : cases)
	{
		const ClockTime end = expectedEnd(length, seek, hour, minute);
		EXPECT_EQ(hourMinute(end.hour, end.minute), text)
			<< length << " s, seek " << seek << ", from " << hour << ":" << minute;
	}
}

TEST(InfobarMath, ClockSeparatorsBlinkEverySecond)
{
	std::tm t{};
	t.tm_hour = 23;
	t.tm_min = 59;
	t.tm_sec = 9;
	bool shown = false;
	EXPECT_EQ(clockText(t, true, shown), "23.59.09");
	EXPECT_EQ(clockText(t, true, shown), "23:59:09");
	EXPECT_EQ(clockText(t, true, shown), "23.59.09");
	shown = true;
	EXPECT_EQ(clockText(t, false, shown), "23.59.09");
	EXPECT_TRUE(shown);
}

TEST(InfobarMath, PositionBarWidthInWholeHundredthsHeldToTheBar)
{
	// 420 / 100 = 4 pixels a hundredth; the position is held to 0..100.
	const std::tuple<int, int, int> cases[] = {{420, 0, 0}, {420, 100, 400}, {420, 101, 400}, {420, -5, 0}};
	for (const auto& [skinWidth, position, width] : cases)
		EXPECT_EQ(positionBarWidth(skinWidth, position), width) << skinWidth << " at " << position;
}

std::vector<std::string> scrollTexts(const std::string& name, int ticks)
{
	TitleScroll scroll;
	scroll.start(name);
	std::vector<std::string> shown;
	for (eString text; ticks-- > 0;)
		if (scroll.step(name, text))
			shown.push_back(text);
	return shown;
}

TEST(InfobarMath, LongTitlesScrollAndComeBack)
{
	EXPECT_TRUE(scrollTexts("abcdefghijklmnopqrstuvwxy", 40).empty()); // 25 bytes stand still
	const std::string name = "abcdefghijklmnopqrstuvwxyz";
	std::vector<std::string> expected;
	for (size_t drop = 0; drop <= 5; ++drop) // to the left, one byte a tick, until 20 would remain
		expected.push_back(name.substr(drop));
	for (size_t drop = 5; drop > 0; --drop) // back, growing from the left
		expected.push_back(name.substr(drop));
	for (size_t blanks = 0; blanks < 5; ++blanks) // to five blanks in front
		expected.push_back(std::string(blanks, ' ') + name);
	expected.insert(expected.end(), {name, name.substr(1)}); // and over again
	EXPECT_EQ(scrollTexts(name, int(expected.size())), expected);

	int count = 0, closedOn = 0;
	for (int tick = 1; tick <= 100 && !closedOn; ++tick)
		if (selfCloseTick(count))
			closedOn = tick;
	EXPECT_EQ(closedOn, 75);
}

TEST(InfobarMath, PlayStatusDocument)
{
	PlayStatus s;
	ASSERT_TRUE(readPlayStatus("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root><time>600</time><length>5400</length>"
							   "<position>11</position><information>"
							   "<category name=\"Stream 1\"><info name=\"Codec\">mp3</info></category>"
							   "<category name=\"Stream 0\"><info name=\"Codec\">mpeg2video</info>"
							   "<info name=\"Aufl\xC3\xB6sung\">720x576</info><info name=\"Other\">x</info></category>"
							   "</information><time>700</time></root>",
		s));
	EXPECT_EQ(s.time, 700); // later elements win
	EXPECT_EQ(s.length, 5400);
	EXPECT_EQ(s.position, 11);
	EXPECT_EQ(s.codec, "mpeg2video");
	EXPECT_EQ(s.resolution, "720x576");

	for (const char* bad : {"", "+nok"})
	{
		EXPECT_FALSE(readPlayStatus(bad, s)) << bad;
		EXPECT_EQ(s.time, 700);
	}
}
} // namespace
