#include "MediaTree.h"

#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

namespace
{
const char* const ffmpegProgram = OXLE_FFMPEG;
// Small pictures keep the encoder quick on two cores; the server's own transcode to
// SD is what the box gets either way.
const char* const testPicture = "testsrc=size=352x288:rate=25";
const char* const testTone = "sine=frequency=440:sample_rate=48000";
// A clean test picture compresses to almost nothing, and a stream smaller than the
// box's prebuffer never starts: noise in every frame and a constant rate keep a clip
// of a few seconds at well over a megabyte.
const char* const grain = "noise=alls=30:allf=t";
const char* const mpeg2Rate = "2500k";
const char* const mpeg2RateBuffer = "1000k";
const int childSetupFailed = 127;

std::string slurp(const std::string& path)
{
	std::ifstream in(path, std::ios::binary);
	std::ostringstream text;
	text << in.rdbuf();
	return text.str();
}

// Runs a program without a shell; its output goes to logPath.
int run(std::vector<std::string> argv, const std::string& logPath)
{
	std::vector<char*> cargv;
	for (std::string& a : argv)
		cargv.push_back(a.data());
	cargv.push_back(nullptr);
	pid_t pid = fork();
	if (pid < 0)
		return -1;
	if (pid == 0)
	{
		int out = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
		int in = open("/dev/null", O_RDONLY);
		if (out < 0 || in < 0)
			_exit(childSetupFailed);
		dup2(in, 0);
		dup2(out, 1);
		dup2(out, 2);
		execv(cargv[0], cargv.data());
		_exit(childSetupFailed);
	}
	int status = 0;
	if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
		return -1;
	return WEXITSTATUS(status);
}
} // namespace

MediaTree::MediaTree()
{
	std::string templ = (fs::temp_directory_path() / "oxle-e2e-media-XXXXXX").string();
	if (mkdtemp(templ.data()))
		root = templ;
}

MediaTree::~MediaTree()
{
	std::error_code ec;
	if (!root.empty())
		fs::remove_all(root, ec);
}

bool MediaTree::addDir(const std::string& name) const
{
	std::error_code ec;
	fs::create_directories(*this / name, ec);
	return !ec;
}

bool MediaTree::addFile(const std::string& name, const std::string& contents) const
{
	std::ofstream out(*this / name, std::ios::binary);
	out << contents;
	return bool(out);
}

bool MediaTree::addClip(const std::string& name, Clip kind, int seconds, std::string& error) const
{
	const std::string duration = std::to_string(seconds);
	std::vector<std::string> argv = {ffmpegProgram, "-hide_banner", "-nostdin", "-loglevel", "error", "-y", "-f",
		"lavfi", "-i", std::string(testPicture) + ":duration=" + duration, "-f", "lavfi", "-i",
		std::string(testTone) + ":duration=" + duration, "-vf", grain};
	if (kind == Clip::Mpeg2Ts)
		argv.insert(argv.end(),
			{"-c:v", "mpeg2video", "-b:v", mpeg2Rate, "-minrate", mpeg2Rate, "-maxrate", mpeg2Rate, "-bufsize",
				mpeg2RateBuffer, "-g", "12", "-c:a", "mp2", "-b:a", "128k", "-f", "mpegts"});
	else
		argv.insert(argv.end(),
			{"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-c:a", "aac", "-b:a", "128k", "-f",
				"mp4"});
	argv.push_back(*this / name);
	const std::string logPath = *this / (name + ".ffmpeg.log");
	int code = run(argv, logPath);
	std::string log = slurp(logPath);
	std::error_code ec;
	fs::remove(logPath, ec);
	if (code != 0)
	{
		error = "ffmpeg exited with " + std::to_string(code) + ": " + log;
		return false;
	}
	return true;
}
