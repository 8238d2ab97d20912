#include "EngineTestSupport.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

#include "StreamThreads.h"
#include "StreamTimings.h"
#include "Ts.h"
#include "eConfig.h"
#include "eMainloop.h"
#include "eTCP.h"
#include "oxleGlobals.h"

namespace
{
const int DRAIN_WAIT_MS = 20;
const size_t DRAIN_READ_BYTES = 256 * 1024;

// Nothing but loopback is reachable from this binary, whatever a test connects to.
[[maybe_unused]] const bool privateNetwork = HostTestEnv::wantPrivateNetwork();
[[maybe_unused]] const bool quickChannel =
	HostTestEnv::atSetUp([] { eTCP::setTimeoutsForTesting(TEST_CONNECT_TIMEOUT_MS, TEST_REPLY_SILENCE_MS); });
} // namespace

std::string programme(int packets, int video, int audioStreamId)
{
	ts::Builder b;
	b.program(packets, video, AUDIO, audioStreamId);
	return b.bytes;
}

FakeHttpStream::Script streamOf(std::string body, FakeHttpStream::End end)
{
	FakeHttpStream::Script script;
	script.body = std::move(body);
	script.chunkBytes = ts::PACKET_SIZE * 350;
	script.end = end;
	return script;
}

FifoDrain::FifoDrain(const std::string& path)
{
	struct stat st;
	if (stat(path.c_str(), &st) != 0 && mkfifo(path.c_str(), 0666) != 0)
		return;
	// Open for writing too: writers that come and go never give us an end of file.
	fd.reset(open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
	if (!fd)
		return;
	reader = std::thread([this] {
		std::string block(DRAIN_READ_BYTES, '\0');
		for (pollfd entry{fd.get(), POLLIN, 0}; !stopping;)
		{
			if (holding)
				std::this_thread::sleep_for(std::chrono::milliseconds(1));
			else if (poll(&entry, 1, DRAIN_WAIT_MS) > 0)
				if (const ssize_t got = read(fd.get(), block.data(), block.size()); got > 0)
				{
					std::lock_guard<std::mutex> guard(lock);
					received.append(block, 0, size_t(got));
				}
		}
	});
}

FifoDrain::~FifoDrain()
{
	stopping = true;
	if (reader.joinable())
		reader.join();
}

void EngineTest::SetUp()
{
	commandServer = std::make_unique<FakeServer>([this](const std::string& request) {
		return FakeServer::Reply::text(request == "RQS|SPO|NO" ? std::to_string(streamPort.load()) : "+ok");
	});
	ASSERT_TRUE(commandServer->ok()) << commandServer->error();
	HostTestEnv::useServer(commandServer->port());
	eConfig::getInstance()->delKey("/enigma/plugins/oxle/buffersize");
	eConfig::getInstance()->delKey("/elitedvb/audio/ac3default");
	// Short waits, but long enough for a server thread that a loaded machine holds back.
	resetStreamTimings();
	StreamTimings& t = streamTimings();
	t.connectTriesPerSecond = 10;
	t.connectRetryMs = 10;
	t.answerWaitMs = 1000;
	t.prebufferSilenceMs = 1000;
	t.prebufferReadPauseMs = 1;
	t.startSettleMs = 0;
	t.decoderSettleMs = 0;
	t.emptyPollLimitVideo = 100;
	t.emptyPollLimitAudio = 200;
	t.endOfStreamWaitMs = 50;
	t.idleCheckMs = 5;

	journalMark = HostTestEnv::journalMark();
	engine()->status = eOXLEEngine::STATUS_STOPPED;
	audioOnly = false;
	clearBuffer_stream();
}

void EngineTest::TearDown()
{
	endStream();
	EXPECT_EQ(receiver, pthread_t(0));
	EXPECT_EQ(pvr, pthread_t(0));
	if (stream)
		stream->stop();
	commandServer->stop();
	resetStreamTimings();
}

int EngineTest::playStreamOf(const std::string& path)
{
	engine()->control("size-only", path, "0", "0", 1);
	engine()->status = eOXLEEngine::STATUS_PLAYING;
	engine()->serverAddress = "127.0.0.1";
	engine()->streamPort = std::to_string(streamPort.load());
	return engine()->playStream(path);
}

void EngineTest::endStream()
{
	engine()->status = eOXLEEngine::STATUS_CLOSING;
	killThreads_stream();
	engine()->status = eOXLEEngine::STATUS_STOPPED;
	// What the feeder's clean-up handed to the GUI thread.
	eApp->processOneEvent(0);
}

FakeHttpStream& EngineTest::serve(FakeHttpStream::Script script)
{
	if (stream)
		stream->stop();
	stream = std::make_unique<FakeHttpStream>(std::move(script));
	EXPECT_TRUE(stream->ok());
	streamPort = stream->port();
	return *stream;
}

std::vector<std::string> EngineTest::decoderOps() const
{
	std::vector<std::string> ops;
	const JournalReader journal = HostTestEnv::journal(journalMark);
	for (size_t i = 0; i < journal.size(); ++i)
		if (journal[i].ev == "decoder" || journal[i].ev == "service")
			ops.push_back((journal[i].ev == "service" ? "service " : "") + journal[i]["op"]);
	return ops;
}
