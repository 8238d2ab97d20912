#include "PacingClock.h"

void PacingClock::anchor(int64_t stamp, Clock::time_point now)
{
	anchored = true;
	lastStamp = stamp;
	elapsedTicks = 0;
	anchorTime = now;
	anchorCount++;
}

PacingClock::Clock::time_point PacingClock::due(int64_t stamp, Clock::time_point now)
{
	if (!anchored)
	{
		anchor(stamp, now);
		return now;
	}
	int64_t step = ((stamp - lastStamp) % wrapTicks + wrapTicks) % wrapTicks;
	if (step > wrapTicks / 2)
		step -= wrapTicks; // a step backwards
	const int64_t maxStepTicks = ticksPerSecond * maxStep.count() / 1000;
	if (step < -maxStepTicks || step > maxStepTicks)
	{
		anchor(stamp, now);
		return now;
	}
	// Presentation stamps of reordered pictures step back a little; they say nothing
	// new about the pace.
	if (step > 0)
	{
		lastStamp = stamp;
		elapsedTicks += step;
	}
	auto offset = std::chrono::duration_cast<Clock::duration>(
		std::chrono::duration<int64_t, std::ratio<1, ticksPerSecond>>(elapsedTicks));
	Clock::time_point at = anchorTime + offset;
	if (now - at > maxLate)
	{
		anchor(stamp, now);
		return now;
	}
	return at;
}
