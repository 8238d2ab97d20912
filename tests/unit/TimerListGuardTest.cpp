// The timer-list guard's reading of the host's timer list and its judgement, on plain text.
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "TimerListGuard.h"

namespace
{
// The dated events as "begin+duration ", and whether something cannot be judged.
std::string guardEvents(const std::string& text)
{
	std::istringstream in(text);
	const TimerListScan s = scanTimerList(in);
	std::string out = s.unjudgeable ? "unjudgeable " : "";
	for (const TimerEvent& e : s.events)
		out += std::to_string(e.begin) + "+" + std::to_string(e.duration) + " ";
	return out;
}

TEST(TimerListGuard, MarkersAreReadFromTheirColumns)
{
	std::string late; // the markers come after the lines that are read
	for (int i = 0; i < timerListMaxLines - 1; ++i)
		late += "#NAME filler\n";
	const std::pair<std::string, const char*> cases[] = {
		{"#TIME_BEGIN 1700000000\n#DURATION 60\n#TIME_BEGIN 1700009000\n", "1700000000+60 1700009000+0 "},
		// The value starts at a fixed column, whatever stands before it.
		{"#TIME_BEGIN=1700000000\n#DURATION=42\n", "1700000000+42 "},
		// Undated begins (a time of day) go, with their duration.
		{"#TIME_BEGIN 86400\n#DURATION 3600\n#TIME_BEGIN 1700000000\n", "unjudgeable 1700000000+0 "},
		{"#TIME_BEGIN 30758399\n", "unjudgeable "},
		{"#TIME_BEGIN 30758400\n", "30758400+0 "},
		// Repeating timers cannot be judged; their presence is enough.
		{"#TYPE 1\n#TIME_BEGIN 1700000000\n#LAST_ACTIVATION 0\n", "unjudgeable 1700000000+0 "},
		// A duration before any begin belongs to nothing.
		{"#DURATION 60\n#TIME_BEGIN 1700000000\n", "1700000000+0 "},
		// Beyond an int the value is held at the int's limit instead of wrapping.
		{"#TIME_BEGIN 99999999999\n#DURATION -99999999999\n", "2147483647+-2147483648 "},
		{late + "#TIME_BEGIN 1700000000\n#TIME_BEGIN 1800000000\n#LAST_ACTIVATION 1\n", "1700000000+0 "},
	};
	for (const auto& [text, events] : cases)
		EXPECT_EQ(guardEvents(text), events) << text;
}

TEST(TimerListGuard, RunningEventsAndTheNearestOneAheadDecide)
{
	const long long now = 1700000000;
	const std::tuple<std::vector<TimerEvent>, TimerVerdict, long long> cases[] = {
		// events, verdict, seconds to the next
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
		EXPECT_EQ(int(j.verdict), int(verdict)) << events.size() << " events, " << ahead << " s ahead";
		EXPECT_EQ(j.secondsAhead, ahead) << events.size() << " events, " << ahead << " s ahead";
	}
}
} // namespace
