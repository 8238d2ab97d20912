#ifndef OXLE_TESTS_DECODER_DECODERTESTSUPPORT_H
#define OXLE_TESTS_DECODER_DECODERTESTSUPPORT_H

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

// A directory under /tmp that is removed with everything in it.
class TempDir
{
public:
	TempDir();
	~TempDir();
	const std::string& path() const { return dir; }
	std::string operator/(const std::string& name) const { return dir + "/" + name; }

private:
	std::string dir;
};

// Runs ffmpeg quietly with the given arguments (the output file last); false on failure.
bool runFfmpeg(const std::string& args);
std::vector<uint8_t> readFile(const std::string& path);

// Media made once per test program in a shared temporary directory.
namespace TestMedia
{
// 2 s of 720x576/25 MPEG-2 video at about 2 Mbit/s with MP2 audio (PIDs 0x100, 0x101).
const std::string& mpeg2Mp2();
// 1 s of small MPEG-2 video with AC-3 audio, and with MP3 audio (44.1 kHz).
const std::string& mpeg2Ac3();
const std::string& mpeg2Mp3();
// 1 s of MP2 audio alone (on PID 0x100).
const std::string& mp2Only();
// 1 s of raw AC-3 elementary stream.
const std::string& ac3Elementary();
// A one-picture MPEG-2 elementary stream of solid red, 720x576.
const std::string& redStill();
} // namespace TestMedia

// Writes data into a FIFO on a thread of its own, as the plugin's feeder does: blocking
// writes of blockSize bytes. Each part is written through a fresh open/close.
class FifoWriter
{
public:
	FifoWriter(const std::string& fifo, std::vector<std::vector<uint8_t>> parts, size_t blockSize = 261696);
	~FifoWriter();
	long long written() const { return bytes.load(); }
	bool done() const { return finished.load(); }
	bool ok() const { return !failed.load(); }
	void join();

private:
	std::atomic<long long> bytes{0};
	std::atomic<bool> finished{false};
	std::atomic<bool> failed{false};
	std::thread worker;
};

// Polls cond every few milliseconds until it holds or the time is up.
bool waitFor(const std::function<bool()>& cond, std::chrono::milliseconds limit = std::chrono::seconds(20));

// The lines of a journal file, parsed.
std::vector<nlohmann::json> journalLines(const std::string& path);

#endif
