#include "MediaMaker.h"

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <system_error>
#include <vector>

#include "TempDir.h"
#include "UniqueFd.h"
#include "server/ChildProcess.h"

namespace fs = std::filesystem;
using oxle::server::ChildProcess;

namespace
{
// Only a hung encoder gets near it: the longest clip takes a few seconds.
const int ENCODE_LIMIT_MS = 300000;
const int FRAME_RATE = 25, TONE_HZ = 440, SECONDS_PER_MINUTE = 60, PERCENT = 100;
const char GRAIN[] = "noise=alls=30:allf=t";
// The rate buffer as a share of the rate: small, so the rate holds over short spans.
const int RATE_BUFFER_PERCENT = 40;
const char LOCK_SUFFIX[] = ".lock", MAKING_SUFFIX[] = ".making", LOG_SUFFIX[] = ".log";
const mode_t LOCK_MODE = 0644;

// A colour of its own for each chapter or entry, so that a test can tell them apart on a
// decoded picture.
const std::vector<std::string> DVD_COLOURS = {"red", "green", "blue"}, VCD_COLOURS = {"yellow", "magenta"};
const char DVD_SIZE[] = "720x576", VCD_SIZE[] = "352x288";
const int DVD_SAMPLE_RATE = 48000, VCD_SAMPLE_RATE = 44100;
const char DVD_GOP[] = "10", DVD_ASPECT[] = "4:3", DVD_PLAIN_RATE[] = "2M";
// The largest video buffer a DVD player has.
const int DVD_VBV_KBITS = 1835;
const char DVD_AUDIO[] = "ac3+en,mp2+de", DVD_VIDEO_FORMAT[] = "VIDEO_FORMAT=PAL", VOLUME_ID[] = "OXLE";
const char CUE_FILE[] = "FILE \"", CUE_EXTENSION[] = ".cue", BIN_EXTENSION[] = ".bin", ISO_EXTENSION[] = ".iso";

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

// Runs a tool to its end, its output and errors into log.
bool runTool(const std::vector<std::string>& argv, const std::string& log, std::string& error,
	const std::vector<std::string>& environment = std::vector<std::string>())
{
	ChildProcess tool;
	ChildProcess::Launch launch(argv);
	launch.environment = environment;
	launch.output = ChildProcess::Stream::file(log, true);
	launch.errors = ChildProcess::Stream::file(log, true);
	int status = 0;
	const bool done = tool.start(launch, error) && tool.waitFor(ENCODE_LIMIT_MS, status) && status == 0;
	if (!done && error.empty())
		error = argv[0] + ": " + ChildProcess::describeStatus(status) + ": " + TempDir::slurp(log);
	return done;
}

bool encode(const MediaMaker::Clip& clip, const std::string& output, std::string& error)
{
	const std::string log = output + LOG_SUFFIX;
	const bool done = runTool(ffmpegArguments(clip, output), log, error);
	std::error_code ignored;
	fs::remove(log, ignored); // a failed output goes with makeOnce's making name
	return done;
}

// Makes file once: those who want it at the same time wait on its lock and then find it
// made. make() writes what becomes file (a file or a folder) under the name it is given,
// so that something of file's name is always whole.
bool makeOnce(
	const std::string& file, const std::function<bool(const std::string&, std::string&)>& make, std::string& error)
{
	std::error_code failed;
	if (fs::exists(file, failed))
		return true;
	fs::create_directories(OXLE_TEST_MEDIA_CACHE, failed);
	UniqueFd lock(open((file + LOCK_SUFFIX).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, LOCK_MODE));
	if (!lock || flock(lock.get(), LOCK_EX) != 0)
	{
		error = "cannot lock " + file + LOCK_SUFFIX;
		return false;
	}
	if (fs::exists(file, failed))
		return true;
	// What a maker that was killed half-way left.
	const std::string making = file + MAKING_SUFFIX;
	fs::remove_all(making, failed);
	if (!make(making, error))
	{
		fs::remove_all(making, failed);
		return false;
	}
	if (rename(making.c_str(), file.c_str()) != 0)
	{
		error = "cannot keep " + file;
		return false;
	}
	return true;
}

// A hard link to made at target where the file system allows, else a copy.
bool placeFile(const std::string& made, const std::string& target, std::string& error)
{
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

// Every file under from, linked at the same place under to.
bool linkTree(const fs::path& from, const fs::path& to, std::string& error)
{
	std::error_code failed;
	fs::create_directories(to, failed);
	for (const fs::directory_entry& entry : fs::directory_iterator(from, failed))
	{
		const fs::path there = to / entry.path().filename();
		if (entry.is_directory(failed) ? !linkTree(entry.path(), there, error)
									   : !placeFile(entry.path().string(), there.string(), error))
			return false;
	}
	if (failed)
		error = "cannot read " + from.string() + ": " + failed.message();
	return !failed;
}

bool writeFile(const std::string& path, const std::string& contents, std::string& error)
{
	std::ofstream out(path, std::ios::binary | std::ios::trunc);
	out << contents;
	out.close();
	if (!out)
		error = "cannot write " + path;
	return bool(out);
}

// A cue sheet names its track file by path: the copy names the one beside it.
std::string cueNaming(const std::string& cue, const std::string& bin)
{
	const size_t name = cue.find(CUE_FILE);
	const size_t from = name == std::string::npos ? name : name + strlen(CUE_FILE);
	const size_t to = from == std::string::npos ? from : cue.find('"', from);
	if (to == std::string::npos)
		return cue;
	return cue.substr(0, from) + bin + cue.substr(to);
}

std::string discName(const MediaMaker::Disc& disc)
{
	const std::string seconds = std::to_string(disc.seconds) + "s";
	if (disc.kind == MediaMaker::DiscKind::Vcd)
		return "vcd-" + std::to_string(VCD_COLOURS.size()) + "x" + seconds;
	return "dvd-" + std::to_string(DVD_COLOURS.size()) + "x" + seconds + "-" + std::to_string(disc.kbps) + "k";
}

std::vector<std::string> toolStart(const char* tool)
{
	return {tool, "-hide_banner", "-nostdin", "-loglevel", "error", "-y"};
}

std::string colourSource(const std::string& colour, const char* size, int seconds)
{
	return "color=c=" + colour + ":s=" + size + ":r=" + std::to_string(FRAME_RATE) + ":d=" + std::to_string(seconds);
}

std::string toneSource(int sampleRate, int seconds)
{
	return "sine=frequency=" + std::to_string(TONE_HZ) + ":sample_rate=" + std::to_string(sampleRate) +
		":duration=" + std::to_string(seconds);
}

// dvdauthor's chapter marks, M:SS each.
std::string chapterMarks(int seconds)
{
	std::string marks;
	for (size_t i = 0; i < DVD_COLOURS.size(); ++i)
	{
		const int at = int(i) * seconds;
		const std::string secs = std::to_string(at % SECONDS_PER_MINUTE);
		marks += (i ? "," : "") + std::to_string(at / SECONDS_PER_MINUTE) + ":" + (secs.size() < 2 ? "0" : "") + secs;
	}
	return marks;
}

// The chapters one after the other as one DVD program stream, two audio streams of the
// same tone.
std::vector<std::string> dvdTitleArguments(const MediaMaker::Disc& disc, const std::string& output)
{
	std::vector<std::string> args = toolStart("ffmpeg");
	std::string inputs;
	for (size_t i = 0; i < DVD_COLOURS.size(); ++i)
	{
		args.insert(args.end(), {"-f", "lavfi", "-i", colourSource(DVD_COLOURS[i], DVD_SIZE, disc.seconds)});
		inputs += "[" + std::to_string(i) + "]";
	}
	const std::string tone = std::to_string(DVD_COLOURS.size()) + ":a";
	args.insert(args.end(),
		{"-f", "lavfi", "-i", toneSource(DVD_SAMPLE_RATE, disc.seconds * int(DVD_COLOURS.size())), "-filter_complex",
			inputs + "concat=n=" + std::to_string(DVD_COLOURS.size()) + ":v=1:a=0" +
				(disc.kbps > 0 ? std::string(",") + GRAIN : "") + "[v]",
			"-map", "[v]", "-map", tone, "-map", tone, "-c:v", "mpeg2video", "-g", DVD_GOP, "-aspect", DVD_ASPECT});
	if (disc.kbps > 0)
	{
		const std::string kbps = std::to_string(disc.kbps) + "k";
		const int buffer = std::min(disc.kbps * RATE_BUFFER_PERCENT / PERCENT, DVD_VBV_KBITS);
		args.insert(
			args.end(), {"-b:v", kbps, "-minrate", kbps, "-maxrate", kbps, "-bufsize", std::to_string(buffer) + "k"});
	}
	else
		args.insert(args.end(), {"-b:v", DVD_PLAIN_RATE});
	args.insert(args.end(),
		{"-ac", "2", "-ar", std::to_string(DVD_SAMPLE_RATE), "-c:a:0", "ac3", "-c:a:1", "mp2", "-f", "dvd", output});
	return args;
}

bool makeDvd(const MediaMaker::Disc& disc, const std::string& dir, std::string& error)
{
	const std::string log = dir + "/make" + LOG_SUFFIX, title = dir + "/title.mpg", video = dir + "/dvd";
	const std::vector<std::string> pal = {DVD_VIDEO_FORMAT};
	const bool made = runTool(dvdTitleArguments(disc, title), log, error) &&
		runTool({"dvdauthor", "-o", video, "-t", "-c", chapterMarks(disc.seconds), "-a", DVD_AUDIO, title}, log, error,
			pal) &&
		runTool({"dvdauthor", "-o", video, "-T"}, log, error, pal) &&
		runTool({"xorriso", "-as", "mkisofs", "-V", VOLUME_ID, "-o", dir + "/dvd.iso", video}, log, error);
	std::error_code ignored;
	fs::remove(title, ignored);
	fs::remove(log, ignored);
	return made;
}

// The cue names the track file where the folder will be once made.
bool makeVcd(const MediaMaker::Disc& disc, const std::string& dir, const std::string& finalDir, std::string& error)
{
	const std::string log = dir + "/make" + LOG_SUFFIX;
	std::vector<std::string> tracks,
		vcdimager = {"vcdimager", "-t", "vcd2", "-c", dir + "/vcd.cue", "-b", dir + "/vcd.bin"};
	bool made = true;
	for (size_t i = 0; i < VCD_COLOURS.size() && made; ++i)
	{
		tracks.push_back(dir + "/" + std::to_string(i) + ".mpg");
		std::vector<std::string> args = toolStart("ffmpeg");
		args.insert(args.end(),
			{"-f", "lavfi", "-i", colourSource(VCD_COLOURS[i], VCD_SIZE, disc.seconds), "-f", "lavfi", "-i",
				toneSource(VCD_SAMPLE_RATE, disc.seconds), "-target", "pal-vcd", "-ac", "2", tracks.back()});
		made = runTool(args, log, error);
	}
	vcdimager.insert(vcdimager.end(), tracks.begin(), tracks.end());
	made = made && runTool(vcdimager, log, error) &&
		writeFile(dir + "/vcd.cue", cueNaming(TempDir::slurp(dir + "/vcd.cue"), finalDir + "/vcd.bin"), error);
	std::error_code ignored;
	for (const std::string& track : tracks)
		fs::remove(track, ignored);
	fs::remove(log, ignored);
	return made;
}
} // namespace

std::string MediaMaker::path(const Clip& clip, std::string& error)
{
	const std::string file = std::string(OXLE_TEST_MEDIA_CACHE) + "/" + nameOf(clip);
	const bool made = makeOnce(
		file, [&clip](const std::string& making, std::string& why) { return encode(clip, making, why); }, error);
	return made ? file : std::string();
}

bool MediaMaker::place(const Clip& clip, const std::string& target, std::string& error)
{
	const std::string made = path(clip, error);
	return !made.empty() && placeFile(made, target, error);
}

std::string MediaMaker::discFolder(const Disc& disc, std::string& error)
{
	const std::string folder = std::string(OXLE_TEST_MEDIA_CACHE) + "/" + discName(disc);
	const bool made = makeOnce(
		folder,
		[&](const std::string& making, std::string& why) {
			std::error_code failed;
			if (!fs::create_directories(making, failed))
			{
				why = "cannot make " + making;
				return false;
			}
			return disc.kind == DiscKind::Vcd ? makeVcd(disc, making, folder, why) : makeDvd(disc, making, why);
		},
		error);
	return made ? folder : std::string();
}

bool MediaMaker::placeDisc(const Disc& disc, const std::string& target, std::string& error)
{
	const std::string extension = fs::path(target).extension().string();
	const bool vcd = disc.kind == DiscKind::Vcd;
	if (vcd != (extension == CUE_EXTENSION))
	{
		error = target + ": a VCD goes to NAME.cue, a DVD to NAME.iso or a folder";
		return false;
	}
	const std::string folder = discFolder(disc, error);
	if (folder.empty())
		return false;
	if (vcd)
	{
		const std::string bin = fs::path(target).replace_extension(BIN_EXTENSION).string();
		return placeFile(folder + "/vcd.bin", bin, error) &&
			writeFile(target, cueNaming(TempDir::slurp(folder + "/vcd.cue"), bin), error);
	}
	if (extension == ISO_EXTENSION)
		return placeFile(folder + "/dvd.iso", target, error);
	std::error_code failed;
	fs::remove_all(target, failed);
	return linkTree(folder + "/dvd", target, error);
}
