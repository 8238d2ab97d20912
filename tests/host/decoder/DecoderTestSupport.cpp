#include "DecoderTestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <unistd.h>

TempDir::TempDir()
{
	char pattern[] = "/tmp/oxle-decoder-XXXXXX";
	const char* made = mkdtemp(pattern);
	dir = made ? made : "";
}

TempDir::~TempDir()
{
	if (!dir.empty())
	{
		std::error_code ignored;
		std::filesystem::remove_all(dir, ignored);
	}
}

bool runFfmpeg(const std::string& args)
{
	std::string cmd = "ffmpeg -nostdin -hide_banner -loglevel error -y " + args;
	return std::system(cmd.c_str()) == 0;
}

std::vector<uint8_t> readFile(const std::string& path)
{
	std::ifstream in(path, std::ios::binary);
	return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

namespace TestMedia
{
namespace
{
const TempDir& mediaDir()
{
	static TempDir dir;
	return dir;
}

const std::string& make(const std::string& name, const std::string& args)
{
	static std::map<std::string, std::string> made;
	auto it = made.find(name);
	if (it != made.end())
		return it->second;
	std::string path = mediaDir() / name;
	if (!runFfmpeg(args + " " + path))
		path.clear();
	return made[name] = path;
}
} // namespace

const std::string& mpeg2Mp2()
{
	return make("av.ts",
		"-f lavfi -i testsrc=size=720x576:rate=25 -f lavfi -i sine=frequency=440:sample_rate=48000 "
		"-t 2 -c:v mpeg2video -b:v 2M -maxrate 2M -bufsize 1M -c:a mp2 -b:a 128k -f mpegts");
}

const std::string& mpeg2Ac3()
{
	return make("ac3.ts",
		"-f lavfi -i testsrc=size=352x288:rate=25 -f lavfi -i sine=sample_rate=48000 "
		"-t 1 -c:v mpeg2video -c:a ac3 -f mpegts");
}

const std::string& mpeg2Mp3()
{
	return make("mp3.ts",
		"-f lavfi -i testsrc=size=352x288:rate=25 -f lavfi -i sine=sample_rate=44100 "
		"-t 1 -c:v mpeg2video -c:a libmp3lame -f mpegts");
}

const std::string& mp2Only()
{
	return make("mp2.ts", "-f lavfi -i sine=sample_rate=48000 -t 1 -c:a mp2 -f mpegts");
}

const std::string& ac3Elementary()
{
	return make("audio.ac3", "-f lavfi -i sine=sample_rate=48000 -t 1 -c:a ac3 -f ac3");
}

const std::string& redStill()
{
	return make("red.mvi", "-f lavfi -i color=c=red:size=720x576 -frames:v 1 -c:v mpeg2video -f mpeg2video");
}
} // namespace TestMedia

FifoWriter::FifoWriter(const std::string& fifo, std::vector<std::vector<uint8_t>> parts, size_t blockSize)
{
	worker = std::thread([this, fifo, parts = std::move(parts), blockSize] {
		for (const auto& part : parts)
		{
			int fd = open(fifo.c_str(), O_RDWR);
			if (fd < 0)
			{
				failed = true;
				break;
			}
			size_t pos = 0;
			while (pos < part.size())
			{
				size_t n = std::min(blockSize, part.size() - pos);
				ssize_t w = write(fd, part.data() + pos, n);
				if (w <= 0)
				{
					failed = true;
					break;
				}
				pos += size_t(w);
				bytes += w;
			}
			close(fd);
		}
		finished = true;
	});
}

FifoWriter::~FifoWriter()
{
	join();
}

void FifoWriter::join()
{
	if (worker.joinable())
		worker.join();
}

bool waitFor(const std::function<bool()>& cond, std::chrono::milliseconds limit)
{
	auto end = std::chrono::steady_clock::now() + limit;
	while (!cond())
	{
		if (std::chrono::steady_clock::now() > end)
			return false;
		std::this_thread::sleep_for(std::chrono::milliseconds(5));
	}
	return true;
}

std::vector<nlohmann::json> journalLines(const std::string& path)
{
	std::vector<nlohmann::json> lines;
	std::ifstream in(path);
	std::string line;
	while (std::getline(in, line))
		if (!line.empty())
			lines.push_back(nlohmann::json::parse(line, nullptr, false));
	return lines;
}
