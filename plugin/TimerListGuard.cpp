#include "TimerListGuard.h"

#include <climits>
#include <cstdlib>
#include <string>

namespace
{
const char beginMarker[] = "#TIME_BEGIN";
const char durationMarker[] = "#DURATION";
const char repeatMarker[] = "#LAST_ACTIVATION";
const std::string::size_type beginColumn = 12;
const std::string::size_type durationColumn = 10;
const int decimal = 10;

// atoi's reading (blanks skipped, an optional sign, digits, 0 for anything else),
// without its undefined behaviour on values beyond an int: those are held at the
// int's limits.
long long numberFrom(const std::string& line, std::string::size_type column)
{
	if (line.size() <= column)
		return 0;
	const long long value = std::strtoll(line.c_str() + column, nullptr, decimal);
	if (value > INT_MAX)
		return INT_MAX;
	if (value < INT_MIN)
		return INT_MIN;
	return value;
}

bool contains(const std::string& line, const char* marker)
{
	return line.find(marker) != std::string::npos;
}
} // namespace

TimerListScan scanTimerList(std::istream& in)
{
	TimerListScan scan;
	// Whether the last begin line was accepted and still waits for its duration.
	bool durationOpen = false;
	std::string line;
	for (int lines = 0; lines < timerListMaxLines && std::getline(in, line); ++lines)
	{
		if (contains(line, beginMarker))
		{
			const long long begin = numberFrom(line, beginColumn);
			durationOpen = begin > latestUndatedBegin;
			if (durationOpen)
				scan.events.push_back(TimerEvent{begin, 0});
			else
				scan.unjudgeable = true;
		}
		if (contains(line, durationMarker) && durationOpen)
		{
			scan.events.back().duration = numberFrom(line, durationColumn);
			durationOpen = false;
		}
		if (contains(line, repeatMarker))
			scan.unjudgeable = true;
	}
	return scan;
}

TimerJudgement judgeTimerEvents(const std::vector<TimerEvent>& events, long long now)
{
	TimerJudgement judgement;
	bool ahead = false;
	for (const TimerEvent& e : events)
	{
		if (e.begin <= now && e.begin + e.duration > now)
		{
			judgement.verdict = TimerVerdict::InProgress;
			judgement.secondsAhead = 0;
			return judgement;
		}
		const long long d = e.begin - now;
		if (d > 0 && (!ahead || d < judgement.secondsAhead))
		{
			ahead = true;
			judgement.secondsAhead = d;
		}
	}
	if (ahead)
		judgement.verdict =
			judgement.secondsAhead <= imminentEventSeconds ? TimerVerdict::Imminent : TimerVerdict::Later;
	return judgement;
}
