#ifndef OXLE_TESTS_SUPPORT_MEDIAMAKER_H
#define OXLE_TESTS_SUPPORT_MEDIAMAKER_H

#include <string>

// Clips made with ffmpeg's test sources (a test picture, or a solid colour, and a tone),
// each made once per build tree and kept in its cache. Test processes that ask for the
// same clip at once wait for one another, and nobody ever sees half a file. Discs are
// made with the authoring tools (dvdauthor, xorriso, vcdimager), also once per build tree.
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

	enum class DiscKind
	{
		Dvd, // PAL, title 1 of three chapters (red, green, blue), AC-3 "en" then MP2 "de"
		Vcd, // VCD 2.0, two entries (yellow, magenta), MPEG-1 with MP2
	};

	struct Disc
	{
		DiscKind kind = DiscKind::Dvd;
		// Of each chapter or entry.
		int seconds = 2;
		// DVD only. 0: the encoder's own rate (a solid colour takes next to nothing). Else a
		// constant video rate with film grain, as a film's disc has it.
		int kbps = 0;
	};

	// The disc's folder in the cache, made on first use: a DVD's holds dvd/ (with
	// VIDEO_TS) and dvd.iso, a VCD's vcd.cue and vcd.bin. Empty, with error, when a tool
	// failed.
	static std::string discFolder(const Disc& disc, std::string& error);
	// The disc at target, in the form its name asks for: NAME.iso a DVD image, NAME.cue a
	// VCD (NAME.bin beside it, which the cue names), any other name a DVD folder holding
	// VIDEO_TS. Hard links where the file system allows.
	static bool placeDisc(const Disc& disc, const std::string& target, std::string& error);
};

#endif
