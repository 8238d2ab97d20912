#include "MediaMaker.h"

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

#include "UniqueFd.h"
#include "server/ChildProcess.h"

namespace fs = std::filesystem;
using oxle::server::ChildProcess;

namespace
{
// Only a hung encoder gets near it: the longest clip takes a few seconds.
const int ENCODE_LIMIT_MS = 300000;
const int FRAME_RATE = 25;
const int TONE_HZ = 440;
const char GRAIN[] = "noise=alls=30:allf=t";
// The rate buffer as a share of the rate: small, so the rate holds over short spans.
const int RATE_BUFFER_PERCENT = 40;
const int PERCENT = 100;
const char LOCK_SUFFIX[] = ".lock";
const char MAKING_SUFFIX[] = ".making";
const char LOG_SUFFIX[] = ".log";
const mode_t LOCK_MODE = 0644;

struct Recipe
{
	const char* name;
	std::vector<std::string> video; // encoder options; none for sound alone
	const char* audio;
	int sampleRate;
	const char* format;
	const char* extension;
};

// By Kind.
const Recipe RECIPES[] = {
	{"mpeg2-mp2", {"-c:v", "mpeg2video", "-g", "12"}, "mp2", 48000, "mpegts", ".ts"},
	{"h264-aac", {"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p"}, "aac", 44100, "mp4", ".mp4"},
	{"mp3", {}, "libmp3lame", 44100, "mp3", ".mp3"},
};

const Recipe& recipeOf(const MediaMaker::Clip& clip)
{
	return RECIPES[static_cast<int>(clip.kind)];
}

// Every parameter that makes a difference is in the name, so that one name is one clip.
std::string nameOf(const MediaMaker::Clip& clip)
{
	const Recipe& r = recipeOf(clip);
	std::string name = r.name + ("-" + std::to_string(clip.seconds) + "s");
	if (r.video.empty())
		return name + r.extension;
	std::string colour = clip.colour.empty() ? "testsrc" : clip.colour;
	for (char& c : colour)
		c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
	return name + "-" + std::to_string(clip.width) + "x" + std::to_string(clip.height) + "-" + colour + "-" +
		std::to_string(clip.kbps) + "k" + r.extension;
}

std::vector<std::string> ffmpegArguments(const MediaMaker::Clip& clip, const std::string& output)
{
	const Recipe& r = recipeOf(clip);
	std::vector<std::string> args = {"ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error", "-y"};
	if (!r.video.empty())
		args.insert(args.end(),
			{"-f", "lavfi", "-i",
				(clip.colour.empty() ? "testsrc=" : "color=c=" + clip.colour + ":") +
					"size=" + std::to_string(clip.width) + "x" + std::to_string(clip.height) +
					":rate=" + std::to_string(FRAME_RATE)});
	args.insert(args.end(),
		{"-f", "lavfi", "-i",
			"sine=frequency=" + std::to_string(TONE_HZ) + ":sample_rate=" + std::to_string(r.sampleRate), "-t",
			std::to_string(clip.seconds)});
	args.insert(args.end(), r.video.begin(), r.video.end());
	if (!r.video.empty() && clip.kbps > 0)
	{
		const std::string kbps = std::to_string(clip.kbps) + "k";
		args.insert(args.end(),
			{"-vf", GRAIN, "-b:v", kbps, "-minrate", kbps, "-maxrate", kbps, "-bufsize",
				std::to_string(clip.kbps * RATE_BUFFER_PERCENT / PERCENT) + "k"});
	}
	args.insert(args.end(), {"-c:a", r.audio, "-f", r.format, output});
	return args;
}

std::string slurp(const std::string& path)
{
	std::ifstream in(path, std::ios::binary);
	return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool encode(const MediaMaker::Clip& clip, const std::string& output, std::string& error)
{
	const std::string log = output + LOG_SUFFIX;
	ChildProcess ffmpeg;
	ChildProcess::Spec spec;
	spec.argv = ffmpegArguments(clip, output);
	spec.errors = ChildProcess::Stream::file(log);
	int status = 0;
	const bool done = ffmpeg.start(spec, error) && ffmpeg.waitFor(ENCODE_LIMIT_MS, status) && status == 0;
	if (!done && error.empty())
		error = "ffmpeg: " + ChildProcess::describeStatus(status) + ": " + slurp(log);
	std::error_code ignored;
	fs::remove(log, ignored);
	if (!done)
		fs::remove(output, ignored);
	return done;
}
} // namespace

std::string MediaMaker::path(const Clip& clip, std::string& error)
{
	const std::string file = std::string(OXLE_TEST_MEDIA_CACHE) + "/" + nameOf(clip);
	std::error_code failed;
	if (fs::exists(file, failed))
		return file;
	fs::create_directories(OXLE_TEST_MEDIA_CACHE, failed);
	// One maker per clip at a time; the others wait here and then find it made.
	UniqueFd lock(open((file + LOCK_SUFFIX).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, LOCK_MODE));
	if (!lock || flock(lock.get(), LOCK_EX) != 0)
	{
		error = "cannot lock " + file + LOCK_SUFFIX;
		return std::string();
	}
	if (fs::exists(file, failed))
		return file;
	// Made under another name and renamed, so a file of the clip's name is always whole.
	const std::string making = file + MAKING_SUFFIX;
	if (!encode(clip, making, error))
		return std::string();
	if (rename(making.c_str(), file.c_str()) != 0)
	{
		error = "cannot keep " + file;
		return std::string();
	}
	return file;
}

bool MediaMaker::place(const Clip& clip, const std::string& target, std::string& error)
{
	const std::string made = path(clip, error);
	if (made.empty())
		return false;
	std::error_code failed;
	fs::create_directories(fs::path(target).parent_path(), failed);
	fs::remove(target, failed);
	fs::create_hard_link(made, target, failed);
	if (failed)
		fs::copy_file(made, target, failed);
	if (failed)
		error = "cannot place " + made + " at " + target + ": " + failed.message();
	return !failed;
}
