#ifndef OXLE_TESTS_ENGINE_ENGINETESTSUPPORT_H
#define OXLE_TESTS_ENGINE_ENGINETESTSUPPORT_H

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "FakeHttpStream.h"
#include "FakeServer.h"
#include "HostTestEnv.h"
#include "UniqueFd.h"
#include "eOXLEEngine.h"

// The command channel's waits in this binary: long enough for a loaded sanitizer build.
const int TEST_CONNECT_TIMEOUT_MS = 500;
const int TEST_REPLY_SILENCE_MS = 1000;
const int WAIT_MS = 10000;
const int VIDEO = 0x100, AUDIO = 0x101;
// More than the default prebuffer target of 4,187,136 bytes.
const int LONG_STREAM_PACKETS = 30000;

// Three video packets to one audio packet (none of video when video < 0).
std::string programme(int packets, int video = VIDEO, int audioStreamId = 0xC0);
FakeHttpStream::Script streamOf(std::string body, FakeHttpStream::End end = FakeHttpStream::End::Close);

// Stands in for the decoder behind "/dev/pvr" (made when missing): keeps every byte
// written to the FIFO. On hold it reads nothing, so writers block once the pipe is full.
class FifoDrain
{
public:
	explicit FifoDrain(const std::string& path);
	~FifoDrain();
	bool ok() const { return bool(fd); }
	std::string bytes() const
	{
		std::lock_guard<std::mutex> guard(lock);
		return received;
	}
	size_t size() const { return bytes().size(); }
	void hold(bool on) { holding = on; }

private:
	UniqueFd fd;
	std::atomic<bool> stopping{false}, holding{false};
	mutable std::mutex lock; // guards received
	std::string received;
	std::thread reader;
};

// Each test gets a command server (answering "RQS|SPO|NO" with the port of the test's
// stream, everything else with "+ok"), short stream timings and an engine at rest; the
// tear-down ends whatever still runs.
class EngineTest : public ::testing::Test
{
protected:
	void SetUp() override;
	void TearDown() override;

	// Starts playback of path the way the main window does.
	static void start(const std::string& path) { engine()->control("start2", path, "0", "0", 1); }
	// Only the stream part of a start, with its result code.
	int playStreamOf(const std::string& path);
	static void endStream();
	// Serves script as the stream and points the engine at it.
	FakeHttpStream& serve(FakeHttpStream::Script script);

	static eOXLEEngine* engine() { return eOXLEEngine::getInstance(); }
	static int status() { return engine()->status.load(); }
	static bool waitForStatus(int wanted)
	{
		return pumpUntil([&] { return status() == wanted; });
	}
	static bool pumpUntil(const std::function<bool()>& done) { return HostTestEnv::pumpUntil(done, WAIT_MS); }
	// Runs the GUI loop for about ms: for what must not happen within a time.
	static void pumpFor(int ms)
	{
		HostTestEnv::pumpUntil([] { return false; }, ms);
	}
	static bool waitForDecoder(const FifoDrain& decoder, size_t bytes)
	{
		return pumpUntil([&] { return decoder.size() >= bytes; });
	}
	// The "op" of the decoder and service events since journalMark, in order.
	std::vector<std::string> decoderOps() const;
	static size_t count(const std::vector<std::string>& seen, const std::string& item)
	{
		return size_t(std::count(seen.begin(), seen.end(), item));
	}
	size_t countCommand(const std::string& request) const { return count(commandServer->requests(), request); }
	static std::string pvrPath() { return HostTestEnv::root().file("/dev/pvr"); }

	std::atomic<int> streamPort{0};
	std::unique_ptr<FakeServer> commandServer;
	std::unique_ptr<FakeHttpStream> stream;
	size_t journalMark = 0;
};

#endif
