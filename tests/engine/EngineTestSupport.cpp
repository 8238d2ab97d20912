#include "EngineTestSupport.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>

#include "Journal.h"
#include "StreamThreads.h"
#include "StreamTimings.h"
#include "TempBoxRoot.h"
#include "eConfig.h"
#include "eMainloop.h"
#include "eOXLEEngine.h"
#include "oxleGlobals.h"

namespace
{
const int DRAIN_WAIT_MS = 20;
const size_t DRAIN_READ_BYTES = 256 * 1024;

long long nowMs()
{
	using namespace std::chrono;
	return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
} // namespace

FifoDrain::FifoDrain(const std::string& path)
{
	struct stat st;
	if (stat(path.c_str(), &st) != 0 && mkfifo(path.c_str(), 0666) != 0)
		return;
	// Open for writing too: writers that come and go never give us an end of file.
	fd = open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
	if (fd >= 0)
		reader = std::thread([this] { run(); });
}

FifoDrain::~FifoDrain()
{
	stop();
}

void FifoDrain::stop()
{
	stopping = true;
	if (reader.joinable())
		reader.join();
	if (fd >= 0)
		close(fd);
	fd = -1;
}

void FifoDrain::run()
{
	std::string block(DRAIN_READ_BYTES, '\0');
	while (!stopping)
	{
		if (holding)
		{
			std::this_thread::sleep_for(std::chrono::milliseconds(1));
			continue;
		}
		pollfd entry{fd, POLLIN, 0};
		if (poll(&entry, 1, DRAIN_WAIT_MS) <= 0)
		{
			++quietRounds;
			continue;
		}
		ssize_t got = read(fd, block.data(), block.size());
		if (got > 0)
		{
			std::lock_guard<std::mutex> guard(lock);
			received.append(block, 0, static_cast<size_t>(got));
		}
	}
}

bool FifoDrain::waitDrained(int timeoutMs) const
{
	long start = quietRounds.load();
	long long end = nowMs() + timeoutMs;
	while (quietRounds.load() < start + 2)
	{
		if (nowMs() > end)
			return false;
		std::this_thread::sleep_for(std::chrono::milliseconds(2));
	}
	return true;
}

std::string FifoDrain::bytes() const
{
	std::lock_guard<std::mutex> guard(lock);
	return received;
}

size_t FifoDrain::size() const
{
	std::lock_guard<std::mutex> guard(lock);
	return received.size();
}

void EngineTest::SetUp()
{
	commandServer = std::make_unique<FakeServer>([this](const std::string& request) {
		if (request == "RQS|SPO|NO")
			return FakeServer::Reply::text(std::to_string(streamPort.load()));
		return FakeServer::Reply::text("+ok");
	});
	ASSERT_TRUE(commandServer->ok());
	eConfig* config = eConfig::getInstance();
	config->setKey(TempBoxRoot::SERVER_PORT_KEY, std::to_string(commandServer->port()).c_str());
	config->delKey("/enigma/plugins/oxle/buffersize");
	config->delKey("/elitedvb/audio/ac3default");

	resetStreamTimings();
	StreamTimings& t = streamTimings();
	t.connectTriesPerSecond = 10;
	t.connectRetryMs = 10;
	t.answerWaitMs = 300;
	t.prebufferSilenceMs = 300;
	t.prebufferReadPauseMs = 1;
	t.startSettleMs = 0;
	t.decoderSettleMs = 0;
	t.emptyPollLimitVideo = 100;
	t.emptyPollLimitAudio = 200;
	t.endOfStreamWaitMs = 50;
	t.idleCheckMs = 5;

	journalPath = engineTestRoot().path() + "/journal-" +
		::testing::UnitTest::GetInstance()->current_test_info()->name() + ".jsonl";
	ASSERT_TRUE(Journal::instance().open(journalPath));

	eOXLEEngine::getInstance()->status = eOXLEEngine::STATUS_STOPPED;
	audioOnly = false;
	clearBuffer_stream();
}

void EngineTest::TearDown()
{
	eOXLEEngine* engine = eOXLEEngine::getInstance();
	engine->status = eOXLEEngine::STATUS_CLOSING;
	killThreads_stream();
	engine->status = eOXLEEngine::STATUS_STOPPED;
	EXPECT_EQ(receiver, pthread_t(0));
	EXPECT_EQ(pvr, pthread_t(0));
	pumpGui(0);
	if (stream)
		stream->stop();
	commandServer->stop();
	Journal::instance().close();
	resetStreamTimings();
}

void EngineTest::start(const std::string& path)
{
	eOXLEEngine::getInstance()->control("start2", path, "0", "0", 1);
}

FakeHttpStream& EngineTest::serve(FakeHttpStream::Script script)
{
	stream = std::make_unique<FakeHttpStream>(std::move(script));
	EXPECT_TRUE(stream->ok());
	setStreamPort(stream->port());
	return *stream;
}

int EngineTest::status() const
{
	return eOXLEEngine::getInstance()->status.load();
}

bool EngineTest::waitForStatus(int wanted, int timeoutMs)
{
	long long end = nowMs() + timeoutMs;
	while (status() != wanted)
	{
		if (nowMs() > end)
			return false;
		eApp->processOneEvent(5);
	}
	return true;
}

void EngineTest::pumpGui(int ms)
{
	long long end = nowMs() + ms;
	do
		eApp->processOneEvent(ms > 0 ? 5 : 0);
	while (nowMs() < end);
}

std::vector<nlohmann::json> EngineTest::journal(const std::string& ev) const
{
	std::vector<nlohmann::json> lines;
	std::ifstream in(journalPath);
	std::string line;
	while (std::getline(in, line))
	{
		nlohmann::json entry = nlohmann::json::parse(line, nullptr, false);
		if (entry.is_discarded())
			continue;
		if (ev.empty() || entry.value("ev", "") == ev)
			lines.push_back(entry);
	}
	return lines;
}

std::vector<std::string> EngineTest::decoderOps() const
{
	std::vector<std::string> ops;
	for (const nlohmann::json& entry : journal())
	{
		std::string ev = entry.value("ev", "");
		if (ev == "decoder")
			ops.push_back(entry.value("op", ""));
		else if (ev == "service")
			ops.push_back("service " + entry.value("op", ""));
	}
	return ops;
}

size_t EngineTest::countCommand(const std::string& request) const
{
	size_t n = 0;
	for (const std::string& seen : commands())
		n += seen == request;
	return n;
}

std::string EngineTest::pvrPath() const
{
	return engineTestRoot().file("/dev/pvr");
}
