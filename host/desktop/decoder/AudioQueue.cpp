#include "AudioQueue.h"

#include <algorithm>
#include <cmath>

namespace
{
// What the video pacing treats as on time, and as a cut in the stream (PacingClock).
const int64_t toleranceMs = 10;
const int64_t maxStepMs = 1000;
// Lip sync still holds with the sound this much later than the lead.
const int64_t driftMs = 100;
const int64_t queueMsPerSecond = 1000;
// The plugin's volume bar shows the steps as a straight share of the bar; a square law
// makes half the bar sound about half as loud.
const int gainShift = 15;
const int32_t unityGain = int32_t(1) << gainShift;

int32_t gainFor(int mute, int volume)
{
	if (mute || volume >= AudioQueue::silent)
		return 0;
	const double share = double(AudioQueue::silent - std::max(volume, AudioQueue::loudest)) / AudioQueue::silent;
	return int32_t(std::lround(unityGain * share * share));
}

} // namespace

AudioQueue::AudioQueue(int rate, int channels, int capacityMs, int leadMs)
	: sampleRate(rate), channelCount(channels), capacityFrames(size_t(int64_t(rate) * capacityMs / queueMsPerSecond)),
	  leadFrames(size_t(int64_t(rate) * leadMs / queueMsPerSecond)),
	  toleranceFrames(rate * toleranceMs / queueMsPerSecond), maxStepFrames(rate * maxStepMs / queueMsPerSecond),
	  driftFrames(rate * driftMs / queueMsPerSecond), gain(unityGain)
{
}

int64_t AudioQueue::ptsStep(int64_t from, int64_t to)
{
	int64_t step = ((to - from) % ptsWrap + ptsWrap) % ptsWrap;
	return step > ptsWrap / 2 ? step - ptsWrap : step;
}

int64_t AudioQueue::framesFor(int64_t ptsTicks) const
{
	return ptsTicks * sampleRate / ptsPerSecond;
}

AudioQueue::Placed AudioQueue::push(const int16_t* pcm, size_t frames, int64_t pts)
{
	std::lock_guard<std::mutex> guard(lock);
	int64_t end = position + int64_t(samples.size() / size_t(channelCount));
	Placed placed = Placed::Appended;
	if (!anchored)
	{
		samples.insert(samples.end(), leadFrames * size_t(channelCount), int16_t(0));
		end += int64_t(leadFrames);
		anchored = true;
		anchorPts = pts == noPts ? 0 : pts;
		anchorFrame = end;
	}
	else if (pts != noPts)
	{
		const int64_t wanted = anchorFrame + framesFor(ptsStep(anchorPts, pts));
		const int64_t early = wanted - end;
		if (early > maxStepFrames || early < -maxStepFrames)
		{
			// The stream jumped (a seek, the next file): its sound follows what is queued.
			anchorPts = pts;
			anchorFrame = end;
			placed = Placed::Cut;
		}
		else if (early > toleranceFrames)
		{
			samples.insert(samples.end(), size_t(early) * size_t(channelCount), int16_t(0));
			placed = Placed::GapFilled;
		}
		else if (early < -toleranceFrames)
		{
			// Its time is queued already or has been heard: only the rest is still due.
			const size_t late = size_t(-early);
			if (late >= frames)
				return Placed::DroppedLate;
			pcm += late * size_t(channelCount);
			frames -= late;
			placed = Placed::Trimmed;
		}
	}
	samples.insert(samples.end(), pcm, pcm + frames * size_t(channelCount));
	const size_t queued = samples.size() / size_t(channelCount);
	if (queued > capacityFrames)
	{
		// The device fell that far behind: skip ahead rather than lag the picture.
		const size_t over = queued - capacityFrames;
		samples.erase(samples.begin(), samples.begin() + std::ptrdiff_t(over * size_t(channelCount)));
		position += int64_t(over);
	}
	return placed;
}

void AudioQueue::pull(int16_t* out, size_t frames)
{
	std::lock_guard<std::mutex> guard(lock);
	const size_t wanted = frames * size_t(channelCount);
	if (paused || !anchored)
	{
		std::fill(out, out + wanted, int16_t(0));
		return;
	}
	const size_t taken = std::min(wanted, samples.size());
	auto from = samples.begin();
	for (size_t i = 0; i < taken; i++, ++from)
		out[i] = int16_t((int32_t(*from) * gain) >> gainShift);
	samples.erase(samples.begin(), from);
	std::fill(out + taken, out + wanted, int16_t(0));
	// Sound that comes late plays late, as a late picture is shown late; follow() takes
	// back what the picture has caught up on since.
	position += int64_t(taken / size_t(channelCount));
}

void AudioQueue::setPaused(bool pause)
{
	std::lock_guard<std::mutex> guard(lock);
	paused = pause;
}

void AudioQueue::clear()
{
	std::lock_guard<std::mutex> guard(lock);
	samples.clear();
	anchored = false;
	position = anchorFrame = anchorPts = 0;
}

void AudioQueue::setVolume(int mute, int volume)
{
	std::lock_guard<std::mutex> guard(lock);
	gain = gainFor(mute, volume);
}

int64_t AudioQueue::clock() const
{
	std::lock_guard<std::mutex> guard(lock);
	return clockLocked();
}

int64_t AudioQueue::clockLocked() const
{
	if (!anchored)
		return noPts;
	const int64_t ticks = (position - anchorFrame) * ptsPerSecond / sampleRate;
	return ((anchorPts + ticks) % ptsWrap + ptsWrap) % ptsWrap;
}

int64_t AudioQueue::follow(int64_t picturePts)
{
	std::lock_guard<std::mutex> guard(lock);
	if (!anchored || paused)
		return 0;
	const int64_t ahead = ptsStep(picturePts, clockLocked());
	const int64_t behindFrames = framesFor(-ahead);
	// Further apart than a cut, picture and sound are on different timelines for now.
	if (behindFrames <= int64_t(leadFrames) + driftFrames || behindFrames > maxStepFrames)
		return ahead;
	const size_t skip = std::min(size_t(behindFrames) - leadFrames, samples.size() / size_t(channelCount));
	samples.erase(samples.begin(), samples.begin() + std::ptrdiff_t(skip * size_t(channelCount)));
	position += int64_t(skip);
	return ahead;
}

size_t AudioQueue::queuedFrames() const
{
	std::lock_guard<std::mutex> guard(lock);
	return samples.size() / size_t(channelCount);
}
