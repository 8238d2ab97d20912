#ifndef OXLE_PLUGIN_TIMERLISTGUARD_H
#define OXLE_PLUGIN_TIMERLISTGUARD_H

#include <istream>
#include <vector>

// The judgement of the timer-list guard, worked out from the text of the host's timer
// list and a clock value, so that it can be checked on plain strings.

// Begin times at or below this are times of day or other values that name no date:
// such an event cannot be judged.
const long long latestUndatedBegin = 30758399;
// Lines read from the timer list at most.
const int timerListMaxLines = 256;
// An event this close (seconds) or closer makes the plugin leave.
const long long imminentEventSeconds = 480;

struct TimerEvent
{
	long long begin = 0;    // seconds since 1970 in the box's clock
	long long duration = 0; // seconds
};

struct TimerListScan
{
	std::vector<TimerEvent> events; // the dated events, in file order
	// A repeating timer, an undated begin or a value that is no number was seen.
	bool unjudgeable = false;
};

// Reads the marker lines of a timer list. The value of a marker is the line's text from
// a fixed column on ("#TIME_BEGIN" from 12, "#DURATION" from 10), read as a decimal
// number like atoi; "#LAST_ACTIVATION" counts by its presence. A duration belongs to
// the begin line before it, and goes with it when that begin is not accepted.
TimerListScan scanTimerList(std::istream& in);

enum class TimerVerdict
{
	None,       // nothing running, nothing ahead: the guard can rest
	InProgress, // an event runs now
	Imminent,   // the next event begins within imminentEventSeconds
	Later,      // the next event is further ahead: look again later
};

struct TimerJudgement
{
	TimerVerdict verdict = TimerVerdict::None;
	long long secondsAhead = 0; // to the next event (Imminent, Later)
};

// A running event wins over everything ahead; otherwise the nearest event still to
// begin decides, so that a near recording is never hidden behind a later one.
TimerJudgement judgeTimerEvents(const std::vector<TimerEvent>& events, long long now);

#endif
