// The stream path's arithmetic: buffer sizes, progress, the decoder's audio type.
#include <tuple>

#include <gtest/gtest.h>

#include "StreamRules.h"

namespace
{
const int BLOCK = 261696; // 1392 packets
const int DEFAULT_TARGET = 16 * BLOCK;

TEST(StreamRules, BufferSizingByFileKindAndBlocksAndPrebufferProgress)
{
	const std::tuple<const char*, int, bool, int> cases[] = {
		// path, configured blocks, a video stream, prebuffer target
		{"/media/film.avi", 3, true, DEFAULT_TARGET}, {"/media/film.avi", 4, true, 4 * BLOCK},
		{"/media/film.avi", 25, true, 25 * BLOCK}, {"/media/film.avi", 26, true, DEFAULT_TARGET},
		{"/music/SONG.MP3", 25, false, 200000}, {"/music/song.Ogg", 3, false, 128000},
		{"/music/song.mp3x", 16, true, DEFAULT_TARGET}, // the last three characters alone decide
	};
	for (const auto& [path, configured, isStream, initialBuffer] : cases)
	{
		const BufferSizing sizing = bufferSizing(path, configured);
		EXPECT_EQ(sizing.isStream, isStream) << path;
		EXPECT_EQ(sizing.blockSize, BLOCK) << path;
		EXPECT_EQ(sizing.initialBuffer, initialBuffer) << path << " with " << configured;
	}
	EXPECT_EQ(streamBlockSize(true, DEFAULT_TARGET), BLOCK);
	EXPECT_EQ(streamBlockSize(false, 128000), 32000); // audio-only: a quarter of the target
	const std::tuple<int, int, int> progress[] = {
		// target, bytes buffered, per cent shown
		{DEFAULT_TARGET, 0, 8},
		// The missing share is taken in whole per cent before it is scaled.
		{DEFAULT_TARGET, DEFAULT_TARGET - DEFAULT_TARGET / 100, 100},
		{DEFAULT_TARGET, DEFAULT_TARGET - DEFAULT_TARGET / 100 - 1, 99},
		{DEFAULT_TARGET, DEFAULT_TARGET, 100},
		// The last block may overshoot by up to a block less one byte.
		{DEFAULT_TARGET, DEFAULT_TARGET + BLOCK - 1, 105},
		{0, 0, 100},
		// A floating-point computation gave 30 and 7 here on PowerPC.
		{100, 25, 31},
		{100, 0, 8},
	};
	for (const auto& [target, have, percent] : progress)
		EXPECT_EQ(prebufferPercent(target, have), percent) << have << " of " << target;

	// Whole hundredths of the picture first: 250 pixels give steps of 2.
	EXPECT_EQ(progressBarWidth(250, 100), 200);
}

TEST(StreamRules, AudioTypeCode)
{
	const std::tuple<int, int, const char*, int> cases[] = {
		// detected type, the box's AC-3 preference, path, code
		{-1, 1, "/dvd/title.vob", 0},
		{1, 0, "/dvd/title.vob", 0},
		{0, 1, "/media/film.avi", 1}, // the preference decides, not what the scan found
		{1, 1, "/dvd/title.vob", 3},
		{1, 1, "dvdsimple://1", 3},
		{1, 1, "/dvd/title.VOB", 1},
		{1, 1, "DVD://1", 1},
	};
	for (const auto& [detected, preference, path, code] : cases)
		EXPECT_EQ(audioTypeCode(detected, preference, path), code) << path << " " << detected;
}
} // namespace
