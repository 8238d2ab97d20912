#include "StreamRules.h"

namespace
{
const char* const AUDIO_EXTENSIONS[] = {"MP3", "WMA", "WAV", "OGG"};
const int EXTENSION_LENGTH = 3;

// Each missing per cent costs 0.92 of the progress shown, so that it runs from 8 with an
// empty buffer to 100 at the target. Counted in hundredths: in floating point, PowerPC's
// fused multiply-add moves some results across a whole number (7 instead of 8 with an
// empty buffer) that x86-64 rounds to the other side.
const long long PREBUFFER_PROGRESS_SPAN_HUNDREDTHS = 92;
const int PERCENT = 100;

const int AUDIO_TYPE_MPEG = 0;
const int AUDIO_TYPE_AC3 = 1;
const int AUDIO_TYPE_AC3_DVD = 3;
} // namespace

bool isAudioOnlyPath(const eString& path)
{
	eString extension = path.right(EXTENSION_LENGTH);
	extension.upper();
	for (const char* audio : AUDIO_EXTENSIONS)
		if (extension == audio)
			return true;
	return false;
}

BufferSizing bufferSizing(const eString& path, int configured)
{
	int blocks = bufferBlocks(configured);
	BufferSizing sizing;
	sizing.blockSize = STREAM_BLOCKSIZE;
	if (isAudioOnlyPath(path))
	{
		sizing.isStream = false;
		sizing.initialBuffer = blocks * AUDIO_BYTES_PER_BUFFER_BLOCK;
	}
	else
	{
		sizing.isStream = true;
		sizing.initialBuffer = STREAM_BLOCKSIZE * blocks;
	}
	return sizing;
}

int streamBlockSize(bool streaming, int initialBuffer)
{
	return streaming ? STREAM_BLOCKSIZE : initialBuffer / 4;
}

int prebufferPercent(int target, int have)
{
	if (target <= 0)
		return PERCENT;
	// The share still missing is taken in whole per cent first, as the box always did.
	long long missing = (static_cast<long long>(target) - have) * PERCENT / target;
	return static_cast<int>((PERCENT * PERCENT - PREBUFFER_PROGRESS_SPAN_HUNDREDTHS * missing) / PERCENT);
}

int progressBarWidth(int pictureWidth, int percent)
{
	return (pictureWidth / PERCENT) * percent;
}

int audioTypeCode(int detectedType, int ac3Preference, const eString& path)
{
	if (detectedType < 0 || ac3Preference == 0)
		return AUDIO_TYPE_MPEG;
	bool dvdSource =
		(path.size() >= 3 && path.compare(path.size() - 3, 3, "vob") == 0) || path.compare(0, 3, "dvd") == 0;
	return dvdSource ? AUDIO_TYPE_AC3_DVD : AUDIO_TYPE_AC3;
}
