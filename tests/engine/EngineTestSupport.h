#ifndef OXLE_TESTS_ENGINE_ENGINETESTSUPPORT_H
#define OXLE_TESTS_ENGINE_ENGINETESTSUPPORT_H

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "FakeHttpStream.h"
#include "FakeServer.h"

class TempBoxRoot;

// The box root every test of this binary runs in (EngineTestMain.cpp).
TempBoxRoot& engineTestRoot();

// Stands in for the decoder behind "/dev/pvr": keeps every byte written to the FIFO.
class FifoDrain
{
public:
	// Makes the FIFO at path when missing and starts reading it.
	explicit FifoDrain(const std::string& path);
	~FifoDrain();
	FifoDrain(const FifoDrain&) = delete;
	FifoDrain& operator=(const FifoDrain&) = delete;

	bool ok() const { return fd >= 0; }
	std::string bytes() const;
	size_t size() const;
	// Stops reading until resumed: writers then block once the pipe is full.
	void hold(bool on) { holding = on; }
	// Waits until everything written so far has been read (the FIFO stayed empty for
	// a whole read wait); false after timeoutMs.
	bool waitDrained(int timeoutMs = 5000) const;
	void stop();

private:
	void run();
	int fd = -1;
	std::atomic<bool> stopping{false};
	std::atomic<bool> holding{false};
	std::atomic<long> quietRounds{0};
	mutable std::mutex lock; // guards received
	std::string received;
	std::thread reader;
};

// Each test gets a command server (answering "RQS|SPO|NO" with the stream port set
// by the test, everything else with "+ok"), short timings, a fresh journal and an
// engine at rest; the tear-down ends whatever still runs.
class EngineTest : public ::testing::Test
{
protected:
	void SetUp() override;
	void TearDown() override;

	// Starts playback of path the way the main window does.
	void start(const std::string& path);
	void setStreamPort(int port) { streamPort = port; }
	// Serves script as the stream and points the engine at it.
	FakeHttpStream& serve(FakeHttpStream::Script script);

	int status() const;
	// Runs the GUI loop until the engine status is wanted (true) or timeoutMs pass.
	bool waitForStatus(int wanted, int timeoutMs);
	// Runs the GUI loop for about ms.
	void pumpGui(int ms);
	// Journal lines of event ev (every line when ev is empty).
	std::vector<nlohmann::json> journal(const std::string& ev = std::string()) const;
	// The "op" values of the decoder and service lines, in order.
	std::vector<std::string> decoderOps() const;
	// Requests the command server saw, in order.
	std::vector<std::string> commands() const { return commandServer->requests(); }
	size_t countCommand(const std::string& request) const;
	// The FIFO at ROOT/dev/pvr.
	std::string pvrPath() const;

	std::atomic<int> streamPort{0};
	std::unique_ptr<FakeServer> commandServer;
	std::unique_ptr<FakeHttpStream> stream;
	std::string journalPath;
};

#endif
