#ifndef OXLE_TESTS_SUPPORT_MEDIAMAKER_H
#define OXLE_TESTS_SUPPORT_MEDIAMAKER_H

#include <string>

// Clips made with ffmpeg's test sources (a test picture, or a solid colour, and a tone),
// each made once per build tree and kept in its cache. Test processes that ask for the
// same clip at once wait for one another, and nobody ever sees half a file.
//
//   MediaMaker::Clip film;                     // MPEG-2/MP2 in TS, 352x288, 3 s
//   film.seconds = 100;
//   film.kbps = 2500;                          // well over a megabyte for the prebuffer
//   std::string error;
//   ASSERT_TRUE(MediaMaker::place(film, tree / "Films/film.ts", error)) << error;
//
//   const std::string red = MediaMaker::path({MediaMaker::Kind::H264AacMp4, 150, 160, 120, "red"}, error);
//   ASSERT_FALSE(red.empty()) << error;
//
// The cached files are shared, and so are the hard links place() makes: a test that
// changes a clip copies it first.
class MediaMaker
{
public:
	enum class Kind
	{
		Mpeg2Mp2Ts, // what the box plays: MPEG-2 video, MPEG-1 layer II audio
		H264AacMp4, // what the server must transcode
		Mp3,        // sound alone
	};

	struct Clip
	{
		Kind kind = Kind::Mpeg2Mp2Ts;
		int seconds = 3;
		int width = 352;
		int height = 288;
		// Empty: ffmpeg's moving test picture; else a solid colour ("red", "0x2040ff").
		std::string colour = std::string();
		// 0: the encoder's own rate. Else a constant video rate, with film grain so that
		// the encoder has something to spend it on (a clean test picture compresses to
		// almost nothing).
		int kbps = 0;
	};

	// The clip's file in the cache, made on first use; empty, with error, when ffmpeg
	// failed.
	static std::string path(const Clip& clip, std::string& error);
	// The clip at target, a hard link to the cached file where the file system allows,
	// else a copy.
	static bool place(const Clip& clip, const std::string& target, std::string& error);
};

#endif
