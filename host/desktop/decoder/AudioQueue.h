#ifndef OXLE_DESKTOP_AUDIOQUEUE_H
#define OXLE_DESKTOP_AUDIOQUEUE_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>

// Decoded sound on its way to the sound card: interleaved 16-bit samples at the device's
// rate, laid on a timeline by the stream's PTS, and the audio clock that the device's
// pulls drive. The decoder thread pushes, the device's thread pulls, the GUI thread
// pauses, clears and sets the volume: all of it under one lock.
class AudioQueue
{
public:
	static constexpr int64_t ptsPerSecond = 90000;
	static constexpr int64_t ptsWrap = int64_t(1) << 33;
	static constexpr int64_t noPts = -1;
	// The box's volume steps: 0 loudest, 63 silent.
	static constexpr int loudest = 0;
	static constexpr int silent = 63;

	// What a push did with the samples it was given.
	enum class Placed
	{
		Appended,    // on time, after what is queued
		GapFilled,   // early: silence first, then the samples at their stamp
		Trimmed,     // partly late: the part whose time is taken was dropped
		DroppedLate, // wholly late
		Cut          // a jump in the stamps: a new timeline after what is queued
	};

	// capacityMs bounds what may wait: the oldest samples go when more arrives. leadMs of
	// silence go before the first samples of a stream, so that the next ones arrive before
	// they are due even when the decoder is a little late.
	AudioQueue(int rate, int channels, int capacityMs, int leadMs);

	// frames sample frames stamped pts (90 kHz), noPts: right after the previous push.
	Placed push(const int16_t* pcm, size_t frames, int64_t pts);
	// Fills out with frames sample frames at the current volume: silence where nothing is
	// queued, and all of it while paused. The clock moves on by the samples taken.
	void pull(int16_t* out, size_t frames);

	// A picture stamped picturePts is on the screen now: sound that runs behind it by much
	// more than the lead is skipped, so that a sound card a little slower than the
	// stream's clock does not fall further and further behind. Returns how far the sound
	// ran ahead of the picture (negative: behind) before that, in PTS ticks.
	int64_t follow(int64_t picturePts);
	void setPaused(bool paused);
	// Drops everything and forgets the timeline (a flush, new PIDs).
	void clear();
	// mute non-zero, or volume at silent, gives silence.
	void setVolume(int mute, int volume);

	// The PTS of the next sample to be heard; noPts before the first push after a clear.
	int64_t clock() const;
	size_t queuedFrames() const;
	int rate() const { return sampleRate; }
	// The signed distance from one stamp to another on the wrapping 33-bit circle.
	static int64_t ptsStep(int64_t from, int64_t to);
	int channels() const { return channelCount; }

private:
	int64_t framesFor(int64_t ptsTicks) const;
	int64_t clockLocked() const;

	const int sampleRate;
	const int channelCount;
	const size_t capacityFrames;
	const size_t leadFrames;
	const int64_t toleranceFrames; // stamps this close to where they would go are on time
	const int64_t maxStepFrames;   // a step larger than this is a cut in the stream
	const int64_t driftFrames;     // lag behind the picture beyond the lead that is let be

	mutable std::mutex lock; // guards everything below
	std::deque<int16_t> samples;
	// Sample frames since the anchor up to the next one to be heard; the anchor ties
	// anchorPts to frame 0 of the timeline.
	int64_t position = 0;
	int64_t anchorPts = 0;
	int64_t anchorFrame = 0;
	bool anchored = false;
	bool paused = false;
	int32_t gain; // Q15, 0 silent
};

#endif
