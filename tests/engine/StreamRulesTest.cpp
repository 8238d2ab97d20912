#include <gtest/gtest.h>

#include "StreamRules.h"

TEST(StreamRules, BufferBlocksOutsideFourToTwentyFiveFallBackToSixteen)
{
	const int configured[] = {-1, 0, 3, 4, 16, 25, 26, 1000};
	const int expected[] = {16, 16, 16, 4, 16, 25, 16, 16};
	for (size_t i = 0; i < sizeof configured / sizeof configured[0]; ++i)
		EXPECT_EQ(bufferBlocks(configured[i]), expected[i]) << configured[i];
}

TEST(StreamRules, SizingByFileKind)
{
	struct Case
	{
		const char* path;
		int blocks;
		bool isStream;
		int initialBuffer;
	};
	const Case cases[] = {
		{"/media/film.avi", 16, true, 4187136},
		{"/media/film", 16, true, 4187136},
		{"/media/film.avi", 4, true, 4 * 261696},
		{"/media/film.avi", 26, true, 4187136},
		{"/music/song.mp3", 16, false, 128000},
		{"/music/SONG.MP3", 25, false, 200000},
		{"/music/song.Ogg", 3, false, 128000},
		{"/music/song.wav", 16, false, 128000},
		{"/music/song.wma", 16, false, 128000},
		{"mp3", 16, false, 128000},
		{"/music/song.mp3x", 16, true, 4187136},
		{"/music/mp3", 16, false, 128000},
		{"", 16, true, 4187136},
	};
	for (const Case& c : cases)
	{
		BufferSizing sizing = bufferSizing(c.path, c.blocks);
		EXPECT_EQ(sizing.isStream, c.isStream) << c.path;
		EXPECT_EQ(sizing.blockSize, 261696) << c.path;
		EXPECT_EQ(sizing.initialBuffer, c.initialBuffer) << c.path << " " << c.blocks;
	}
}

TEST(StreamRules, StreamBlockSize)
{
	EXPECT_EQ(streamBlockSize(true, 4187136), 261696);
	// Audio-only: a quarter of the prebuffer target of half a block.
	EXPECT_EQ(streamBlockSize(false, 261696 / 2), 32712);
}

TEST(StreamRules, PrebufferProgress)
{
	const int target = 4187136;
	struct Case
	{
		int have;
		int percent;
	};
	const Case cases[] = {
		{0, 8},
		{target / 2, 54},
		{target - 1, 100},
		{target, 100},
		// The last block may overshoot by up to a block less one byte.
		{target + 261695, 105},
		// The missing share is taken in whole per cent before it is scaled.
		{target - target / 100, 100},
	};
	for (const Case& c : cases)
		EXPECT_EQ(prebufferPercent(target, c.have), c.percent) << c.have;
}

TEST(StreamRules, ProgressBarDividesByHundredFirst)
{
	EXPECT_EQ(progressBarWidth(250, 100), 200);
	EXPECT_EQ(progressBarWidth(250, 50), 100);
	EXPECT_EQ(progressBarWidth(250, 105), 210);
	EXPECT_EQ(progressBarWidth(99, 100), 0);
}

TEST(StreamRules, AudioTypeCode)
{
	struct Case
	{
		int detected;
		int preference;
		const char* path;
		int code;
	};
	const Case cases[] = {
		{-1, 1, "/dvd/title.vob", 0},
		{1, 0, "/dvd/title.vob", 0},
		{1, 1, "/media/film.avi", 1},
		{1, 1, "/dvd/title.vob", 3},
		{1, 1, "dvdsimple://1", 3},
		{1, 1, "/dvd/title.VOB", 1},
		{1, 1, "DVD://1", 1},
		// The box's preference decides, not the detected audio.
		{0, 1, "/media/film.avi", 1},
		{0, 0, "/media/film.avi", 0},
	};
	for (const Case& c : cases)
		EXPECT_EQ(audioTypeCode(c.detected, c.preference, c.path), c.code) << c.path << " " << c.detected;
}
