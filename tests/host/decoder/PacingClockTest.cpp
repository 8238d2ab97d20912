#include "PacingClock.h"

#include <gtest/gtest.h>

namespace
{
using Clock = PacingClock::Clock;
using std::chrono::milliseconds;

const int64_t ticksPerMs = PacingClock::ticksPerSecond / 1000;

long long msAfter(Clock::time_point t, Clock::time_point base)
{
	return std::chrono::duration_cast<milliseconds>(t - base).count();
}
} // namespace

// Each step gives a stamp (ms of stream time, as 27 MHz ticks) and the wall time at which
// it is read; the clock answers when the data is due, in ms after the start.
TEST(PacingClockTest, DueTimesFollowTheStamps)
{
	struct Step
	{
		int64_t stampMs;
		long long nowMs;
		long long dueMs;
		int anchors;
	};
	struct Case
	{
		const char* name;
		int64_t firstStampTicks;
		std::vector<Step> steps;
	};
	const int64_t nearWrap = PacingClock::wrapTicks - 100 * ticksPerMs;
	const std::vector<Case> cases = {
		{"steady stream read early", 0, {{0, 0, 0, 1}, {40, 0, 40, 1}, {500, 100, 500, 1}, {1400, 1000, 1400, 1}}},
		{"a reader behind by less than the limit keeps the pace", 0, {{0, 0, 0, 1}, {100, 900, 100, 1}}},
		{"jump forward over a second anchors anew", 0,
			{{0, 0, 0, 1}, {100, 0, 100, 1}, {5000, 50, 50, 2}, {5040, 50, 90, 2}}},
		{"jump back anchors anew", 0, {{0, 0, 0, 1}, {800, 0, 800, 1}, {1600, 0, 1600, 1}, {100, 100, 100, 2}}},
		{"small steps back are ignored", 0, {{0, 0, 0, 1}, {200, 0, 200, 1}, {160, 0, 200, 1}, {240, 0, 240, 1}}},
		{"far behind (stalled writer) anchors anew", 0, {{0, 0, 0, 1}, {40, 3000, 3000, 2}, {80, 3000, 3040, 2}}},
		{"stamps wrap at 33 bits", nearWrap, {{0, 0, 0, 1}, {80, 0, 80, 1}, {200, 0, 200, 1}}},
	};
	for (const Case& c : cases)
	{
		SCOPED_TRACE(c.name);
		PacingClock clock;
		Clock::time_point base = Clock::now();
		for (const Step& s : c.steps)
		{
			int64_t stamp = (c.firstStampTicks + s.stampMs * ticksPerMs) % PacingClock::wrapTicks;
			Clock::time_point due = clock.due(stamp, base + milliseconds(s.nowMs));
			EXPECT_EQ(msAfter(due, base), s.dueMs) << "stamp " << s.stampMs;
			EXPECT_EQ(clock.anchors(), s.anchors) << "stamp " << s.stampMs;
		}
	}
}

TEST(PacingClockTest, ResetAnchorsAtTheNextStamp)
{
	PacingClock clock;
	Clock::time_point base = Clock::now();
	clock.due(0, base);
	EXPECT_EQ(msAfter(clock.due(500 * ticksPerMs, base), base), 500);
	clock.reset();
	// A pause of 10 s in between must not make the reader rush.
	EXPECT_EQ(msAfter(clock.due(540 * ticksPerMs, base + milliseconds(10000)), base), 10000);
	EXPECT_EQ(msAfter(clock.due(580 * ticksPerMs, base + milliseconds(10000)), base), 10040);
	EXPECT_EQ(clock.anchors(), 2);
}
