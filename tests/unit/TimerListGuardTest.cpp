// The timer-list guard's reading of the host's timer list and its judgement, on plain text.
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "TimerListGuard.h"

namespace
{
std::string read(const std::string& text, bool& unjudgeable)
{
	std::istringstream in(text);
	const TimerListScan s = scanTimerList(in);
	unjudgeable = s.unjudgeable;
	std::string out;
	for (const TimerEvent& e : s.events)
		out += std::to_string(e.begin) + "+" + std::to_string(e.duration) + " ";
	return out;
}

TEST(TimerListGuard, MarkersAreReadFromTheirColumns)
{
	std::string late; // the markers come after the lines that are read
	for (int i = 0; i < timerListMaxLines - 1; ++i)
		late += "#NAME filler\n";
	const std::tuple<std::string, const char*, bool> cases[] = {
		// timer list, its dated events, whether something cannot be judged
		{"#TIME_BEGIN 1700000000\n#DURATION 60\n#TIME_BEGIN 1700009000\n", "1700000000+60 1700009000+0 ", false},
		// The value starts at a fixed column, whatever stands before it.
		{"#TIME_BEGIN=1700000000\n#DURATION=42\n", "1700000000+42 ", false},
		// Undated begins (a time of day) go, with their duration.
		{"#TIME_BEGIN 86400\n#DURATION 3600\n#TIME_BEGIN 1700000000\n", "1700000000+0 ", true},
		{"#TIME_BEGIN 30758399\n", "", true},
		{"#TIME_BEGIN 30758400\n", "30758400+0 ", false},
		// Repeating timers cannot be judged; their presence is enough.
		{"#TYPE 1\n#TIME_BEGIN 1700000000\n#LAST_ACTIVATION 0\n", "1700000000+0 ", true},
		// A duration before any begin belongs to nothing.
		{"#DURATION 60\n#TIME_BEGIN 1700000000\n", "1700000000+0 ", false},
		// Beyond an int the value is held at the int's limit instead of wrapping.
		{"#TIME_BEGIN 99999999999\n#DURATION -99999999999\n", "2147483647+-2147483648 ", false},
		{late + "#TIME_BEGIN 1700000000\n#TIME_BEGIN 1800000000\n#LAST_ACTIVATION 1\n", "1700000000+0 ", false},
	};
	for (const auto& [text, events, unjudgeable] : cases)
	{
		bool seen = !unjudgeable;
		EXPECT_EQ(read(text, seen), events) << text;
		EXPECT_EQ(seen, unjudgeable) << text;
	}
}

TEST(TimerListGuard, RunningEventsAndTheNearestOneAheadDecide)
{
	const long long now = 1700000000;
	const std::tuple<std::vector<TimerEvent>, TimerVerdict, long long> cases[] = {
		// events, verdict, seconds to the next
		{{}, TimerVerdict::None, 0},
		{{{now + 480, 60}}, TimerVerdict::Imminent, 480},
		{{{now + 481, 60}}, TimerVerdict::Later, 481},
		{{{now, 1}}, TimerVerdict::InProgress, 0}, // begins this second
		{{{now - 60, 60}}, TimerVerdict::None, 0}, // ended this second
		// The nearest event ahead decides, wherever it stands in the file.
		{{{now + 86400, 60}, {now + 300, 60}}, TimerVerdict::Imminent, 300},
		{{{now + 300, 60}, {now + 86400, 60}}, TimerVerdict::Imminent, 300},
		// A running event wins over everything ahead.
		{{{now + 300, 60}, {now - 60, 3600}}, TimerVerdict::InProgress, 0},
	};
	for (const auto& [events, verdict, ahead] : cases)
	{
		const TimerJudgement j = judgeTimerEvents(events, now);
		const long long first = events.empty() ? 0 : events[0].begin - now;
		EXPECT_EQ(int(j.verdict), int(verdict)) << events.size() << " events, the first at " << first;
		EXPECT_EQ(j.secondsAhead, ahead) << events.size() << " events, the first at " << first;
	}
}
} // namespace
