// The timer-list guard's reading of the timer list and its judgement, on plain text.
#include <sstream>

#include <gtest/gtest.h>

#include "TimerListGuard.h"

namespace
{
TimerListScan scan(const std::string& text)
{
	std::istringstream in(text);
	return scanTimerList(in);
}

std::string events(const TimerListScan& s)
{
	std::string out;
	for (const TimerEvent& e : s.events)
		out += std::to_string(e.begin) + "+" + std::to_string(e.duration) + " ";
	return out;
}
} // namespace

TEST(TimerListScanTest, MarkersAreReadFromTheirColumns)
{
	struct Case
	{
		const char* text;
		const char* events;
		bool unjudgeable;
	};
	const Case cases[] = {
		{"", "", false},
		{"#TYPE 1\n#TIME_BEGIN 1700000000\n#DURATION 3600\n", "1700000000+3600 ", false},
		{"#TIME_BEGIN 1700000000\n#DURATION 60\n#TIME_BEGIN 1700009000\n#DURATION 5\n", "1700000000+60 1700009000+5 ",
			false},
		// A begin without its duration lasts no time.
		{"#TIME_BEGIN 1700000000\n", "1700000000+0 ", false},
		// Undated begins (a time of day) and zero go, with their duration.
		{"#TIME_BEGIN 86400\n#DURATION 3600\n#TIME_BEGIN 1700000000\n", "1700000000+0 ", true},
		{"#TIME_BEGIN 30758399\n", "", true},
		{"#TIME_BEGIN 30758400\n", "30758400+0 ", false},
		{"#TIME_BEGIN\n", "", true},
		{"#TIME_BEGIN soon\n", "", true},
		// The value starts at column 12 whatever stands before the marker.
		{"  #TIME_BEGIN 1700000000\n", "", true},
		{"#TIME_BEGIN=1700000000\n", "1700000000+0 ", false},
		{"#TIME_BEGIN   1700000000\n#DURATION  42\n", "1700000000+42 ", false},
		// Repeating timers cannot be judged; their presence is enough.
		{"#LAST_ACTIVATION 1\n", "", true},
		{"#TYPE 1\n#TIME_BEGIN 1700000000\n#LAST_ACTIVATION 0\n", "1700000000+0 ", true},
		// A duration before any begin belongs to nothing.
		{"#DURATION 60\n#TIME_BEGIN 1700000000\n", "1700000000+0 ", false},
		// Beyond an int the value is held at the int's limit instead of wrapping.
		{"#TIME_BEGIN 99999999999\n#DURATION -99999999999\n", "2147483647+-2147483648 ", false},
	};
	for (const Case& c : cases)
	{
		const TimerListScan s = scan(c.text);
		EXPECT_EQ(events(s), c.events) << c.text;
		EXPECT_EQ(s.unjudgeable, c.unjudgeable) << c.text;
	}
}

TEST(TimerListScanTest, OnlyTheFirst256LinesCount)
{
	std::string text;
	for (int i = 0; i < 255; ++i)
		text += "#NAME filler\n";
	text += "#TIME_BEGIN 1700000000\n#TIME_BEGIN 1800000000\n#LAST_ACTIVATION 1\n";
	const TimerListScan s = scan(text);
	EXPECT_EQ(events(s), "1700000000+0 ");
	EXPECT_FALSE(s.unjudgeable);
}

TEST(TimerListJudgementTest, RunningEventsAndTheNextOneDecide)
{
	const long long now = 1700000000;
	struct Case
	{
		std::vector<TimerEvent> events;
		TimerVerdict verdict;
		long long ahead;
	};
	const Case cases[] = {
		{{}, TimerVerdict::None, 0},
		{{{now + 300, 60}}, TimerVerdict::Imminent, 300},
		{{{now + 480, 60}}, TimerVerdict::Imminent, 480},
		{{{now + 481, 60}}, TimerVerdict::Later, 481},
		{{{now + 1, 0}}, TimerVerdict::Imminent, 1},
		// Running: begun, not yet over.
		{{{now - 60, 3600}}, TimerVerdict::InProgress, 0},
		{{{now, 1}}, TimerVerdict::InProgress, 0},
		{{{now - 60, 60}}, TimerVerdict::None, 0},
		{{{now - 7200, 3600}}, TimerVerdict::None, 0},
		// The nearest event ahead decides, wherever it stands in the file.
		{{{now + 300, 60}, {now + 86400, 60}}, TimerVerdict::Imminent, 300},
		{{{now + 86400, 60}, {now + 300, 60}}, TimerVerdict::Imminent, 300},
		{{{now - 7200, 60}, {now + 600, 60}}, TimerVerdict::Later, 600},
		// A running event wins over everything ahead.
		{{{now - 60, 3600}, {now + 300, 60}}, TimerVerdict::InProgress, 0},
		{{{now + 86400, 60}, {now - 60, 3600}}, TimerVerdict::InProgress, 0},
	};
	for (const Case& c : cases)
	{
		const TimerJudgement j = judgeTimerEvents(c.events, now);
		EXPECT_EQ(int(j.verdict), int(c.verdict))
			<< c.events.size() << " events, first at " << (c.events.empty() ? 0 : c.events[0].begin - now);
		EXPECT_EQ(j.secondsAhead, c.ahead);
	}
}
