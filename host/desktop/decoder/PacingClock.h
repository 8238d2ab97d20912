#ifndef OXLE_DESKTOP_PACINGCLOCK_H
#define OXLE_DESKTOP_PACINGCLOCK_H

#include <chrono>
#include <cstdint>

// Maps stream time stamps (27 MHz) onto the monotonic clock so that a reader can take
// data no faster than the stream plays, as a hardware decoder drains its buffer.
// The first stamp after a reset anchors the stream to "now"; a jump in the stamps, or
// falling far behind (the writer stalled), anchors it again. Not thread-safe.
class PacingClock
{
public:
	using Clock = std::chrono::steady_clock;

	static constexpr int64_t ticksPerSecond = 27000000;
	// Stamps are 33 bits of 90 kHz plus a 9-bit extension in 1/300 steps: they wrap here.
	static constexpr int64_t wrapTicks = (int64_t(1) << 33) * 300;

	void reset() { anchored = false; }
	// When data stamped `stamp` is due; never earlier than the anchor.
	Clock::time_point due(int64_t stamp, Clock::time_point now);
	int anchors() const { return anchorCount; }

	// A step between consecutive stamps larger than this is a cut in the stream.
	static constexpr std::chrono::milliseconds maxStep{1000};
	// Being this late means the writer could not keep up: start afresh instead of
	// rushing through the backlog.
	static constexpr std::chrono::milliseconds maxLate{1000};

private:
	void anchor(int64_t stamp, Clock::time_point now);

	bool anchored = false;
	int64_t lastStamp = 0;
	int64_t elapsedTicks = 0; // stream time since the anchor, unwrapped
	Clock::time_point anchorTime;
	int anchorCount = 0;
};

#endif
