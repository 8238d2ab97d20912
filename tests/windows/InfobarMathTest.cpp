// The infobar's figures on plain numbers and texts: remaining time, end time, bar width,
// title scroll, self-closing count, and the play-status reader.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "InfobarMath.h"

namespace
{
TEST(InfobarMath, RemainingTimeCountsWholeMinutesAboveOne)
{
	struct Case
	{
		int length, time;
		const char* text;
	};
	const Case cases[] = {
		{60, 0, "+0 min"},
		{61, 0, "+1 min"},
		{3600, 0, "+60 min"},
		{5400, 600, "+80 min"},
		{5400, 5339, "+1 min"},
		{5400, 5340, "+0 min"},
		{0, 0, "+0 min"},
		{100, 400, "+0 min"}, // played past the announced length
		{3659, 0, "+60 min"},
	};
	for (const Case& c : cases)
		EXPECT_EQ(remainingText(c.length, c.time), c.text) << c.length << " - " << c.time;
}

TEST(InfobarMath, ExpectedEndFromStartLengthAndSeek)
{
	struct Case
	{
		int length, seek, startHour, startMin;
		int hour, minute;
	};
	const Case cases[] = {
		{20 * 60, 0, 23, 50, 0, 10},                                 // across midnight
		{90 * 60, 0, 20, 15, 21, 45}, {90 * 60, 30, 20, 15, 21, 15}, // half an hour skipped
		{10 * 60, 11, 20, 15, 20, 15},                               // seek past the length: the start time
		{10 * 60, 500, 20, 15, 20, 15}, {0, 0, 7, 5, 7, 5},          // no length known
		{59, 0, 7, 5, 7, 5},                                         // less than a minute
		{3599, 0, 7, 5, 8, 4}, {3600, 0, 23, 0, 0, 0}, {125 * 60, 0, 22, 59, 1, 4},
		{30 * 3600, 0, 20, 0, 2, 0}, // longer than a day still gives a time of day
	};
	for (const Case& c : cases)
	{
		const ClockTime end = expectedEnd(c.length, c.seek, c.startHour, c.startMin);
		EXPECT_EQ(hourMinute(end.hour, end.minute), hourMinute(c.hour, c.minute))
			<< c.length << " s, seek " << c.seek << ", from " << c.startHour << ":" << c.startMin;
	}
	EXPECT_EQ(hourMinute(0, 10), "00:10");
}

TEST(InfobarMath, PositionBarWidthInWholeHundredths)
{
	struct Case
	{
		int skinWidth, position, width;
	};
	const Case cases[] = {
		{420, 50, 200}, // 420 / 100 = 4, times 50
		{500, 50, 250},
		{99, 50, 0},
		{420, 0, 0},
		{420, 100, 400},
		{420, 150, 400}, // held to the bar's place
		{420, -5, 0},
	};
	for (const Case& c : cases)
		EXPECT_EQ(positionBarWidth(c.skinWidth, c.position), c.width) << c.skinWidth << " at " << c.position;
}

std::vector<std::string> scrollTexts(const std::string& name, int ticks)
{
	TitleScroll scroll;
	scroll.start(name);
	std::vector<std::string> shown;
	for (int i = 0; i < ticks; ++i)
	{
		eString text;
		if (scroll.step(name, text))
			shown.push_back(text);
	}
	return shown;
}

TEST(InfobarMath, TitleOfTwentyFiveBytesStandsStill)
{
	EXPECT_TRUE(scrollTexts("abcdefghijklmnopqrstuvwxy", 40).empty());
	EXPECT_TRUE(scrollTexts("", 5).empty());
}

TEST(InfobarMath, TitleOfTwentySixBytesScrollsAndComesBack)
{
	const std::string name = "abcdefghijklmnopqrstuvwxyz";
	const std::vector<std::string> expected = {// to the left, one byte a tick, until 20 would remain
		"abcdefghijklmnopqrstuvwxyz", "bcdefghijklmnopqrstuvwxyz", "cdefghijklmnopqrstuvwxyz",
		"defghijklmnopqrstuvwxyz", "efghijklmnopqrstuvwxyz", "fghijklmnopqrstuvwxyz",
		// back, growing from the left, five blanks in front
		"fghijklmnopqrstuvwxyz", "efghijklmnopqrstuvwxyz", "defghijklmnopqrstuvwxyz", "cdefghijklmnopqrstuvwxyz",
		"bcdefghijklmnopqrstuvwxyz", "abcdefghijklmnopqrstuvwxyz", " abcdefghijklmnopqrstuvwxyz",
		"  abcdefghijklmnopqrstuvwxyz", "   abcdefghijklmnopqrstuvwxyz", "    abcdefghijklmnopqrstuvwxyz",
		// and over again
		"abcdefghijklmnopqrstuvwxyz", "bcdefghijklmnopqrstuvwxyz"};
	EXPECT_EQ(scrollTexts(name, int(expected.size())), expected);
}

TEST(InfobarMath, SelfCloseOnTheSeventyFifthTick)
{
	int count = 0;
	int closedOn = 0;
	for (int tick = 1; tick <= 100 && !closedOn; ++tick)
		if (selfCloseTick(count))
			closedOn = tick;
	EXPECT_EQ(closedOn, 75);
}

TEST(InfobarMath, PlayStatusDocument)
{
	const std::string document =
		"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root><time>600</time><length>5400</length>"
		"<position>11</position><information>"
		"<category name=\"Stream 1\"><info name=\"Codec\">mp3</info></category>"
		"<category name=\"Stream 0\"><info name=\"Codec\">mpeg2video</info>"
		"<info name=\"Aufl\xC3\xB6sung\">720x576</info><info name=\"Other\">x</info></category>"
		"</information><extra>9</extra></root>";
	PlayStatus s;
	ASSERT_TRUE(readPlayStatus(document, s));
	EXPECT_EQ(s.time, 600);
	EXPECT_EQ(s.length, 5400);
	EXPECT_EQ(s.position, 11);
	EXPECT_EQ(s.codec, "mpeg2video");
	EXPECT_EQ(s.resolution, "720x576");

	// A Latin-1 document that says so reads the same.
	PlayStatus latin;
	ASSERT_TRUE(
		readPlayStatus("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r><information><category "
					   "name=\"Stream 0\"><info name=\"Aufl\xF6sung\">352x288</info></category></information></r>",
			latin));
	EXPECT_EQ(latin.resolution, "352x288");
	EXPECT_EQ(latin.codec, "unknown");

	// Later elements overwrite earlier ones.
	PlayStatus twice;
	ASSERT_TRUE(readPlayStatus("<r><time>5</time><time>7</time></r>", twice));
	EXPECT_EQ(twice.time, 7);
}

} // namespace
