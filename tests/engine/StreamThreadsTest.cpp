#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "EngineTestSupport.h"
#include "StreamThreads.h"
#include "StreamTimings.h"
#include "TsFactory.h"
#include "eOXLEEngine.h"
#include "oxleGlobals.h"

namespace
{
const size_t PIPE_TEST_BYTES = 1 << 20;

std::string patterned(size_t size)
{
	std::string bytes(size, '\0');
	for (size_t i = 0; i < size; ++i)
		bytes[i] = static_cast<char>((i * 131) >> 3);
	return bytes;
}

std::atomic<int> interruptions{0};
void countInterruption(int)
{
	++interruptions;
}

// Reads the pipe slowly until it ends, poking the writer with a signal now and then.
std::string slowRead(int fd, pthread_t poke)
{
	std::string got;
	char chunk[4096];
	for (;;)
	{
		ssize_t n = read(fd, chunk, sizeof chunk);
		if (n > 0)
			got.append(chunk, static_cast<size_t>(n));
		else if (n == 0 || errno != EINTR)
			break;
		if (poke != pthread_t(0) && got.size() % (16 * sizeof chunk) == 0)
			pthread_kill(poke, SIGUSR1);
		std::this_thread::sleep_for(std::chrono::microseconds(50));
	}
	return got;
}

FakeHttpStream::Script streamOf(std::string body)
{
	FakeHttpStream::Script script;
	script.body = std::move(body);
	script.chunkBytes = 188 * 350;
	return script;
}

int count(const std::vector<std::string>& ops, const std::string& op)
{
	int n = 0;
	for (const std::string& seen : ops)
		n += seen == op;
	return n;
}
} // namespace

TEST(WriteAll, NonBlockingDeviceGetsTheWholeBlock)
{
	int p[2];
	ASSERT_EQ(pipe(p), 0);
	fcntl(p[1], F_SETFL, O_NONBLOCK);
	std::string data = patterned(PIPE_TEST_BYTES);
	std::string got;
	std::thread reader([&] { got = slowRead(p[0], pthread_t(0)); });
	EXPECT_EQ(writeAll_stream(p[1], data.data(), static_cast<int>(data.size())), static_cast<int>(data.size()));
	close(p[1]);
	reader.join();
	close(p[0]);
	EXPECT_TRUE(got == data);
}

TEST(WriteAll, InterruptedWritesGoOnWhereTheyStopped)
{
	struct sigaction action = {};
	struct sigaction previous;
	action.sa_handler = countInterruption;
	sigemptyset(&action.sa_mask);
	action.sa_flags = 0; // no restart: the write comes back short or with EINTR
	ASSERT_EQ(sigaction(SIGUSR1, &action, &previous), 0);
	interruptions = 0;

	int p[2];
	ASSERT_EQ(pipe(p), 0);
	std::string data = patterned(PIPE_TEST_BYTES);
	std::string got;
	pthread_t writer = pthread_self();
	std::thread reader([&] { got = slowRead(p[0], writer); });
	EXPECT_EQ(writeAll_stream(p[1], data.data(), static_cast<int>(data.size())), static_cast<int>(data.size()));
	close(p[1]);
	reader.join();
	close(p[0]);
	sigaction(SIGUSR1, &previous, nullptr);
	EXPECT_GT(interruptions.load(), 0);
	EXPECT_TRUE(got == data);
}

TEST(WriteAll, FailedDeviceDropsTheBlock)
{
	int p[2];
	ASSERT_EQ(pipe(p), 0);
	const char block[] = "0123456789";
	EXPECT_EQ(writeAll_stream(-1, block, 10), 0);
	EXPECT_EQ(writeAll_stream(p[0], block, 10), 0); // the read end
	close(p[0]);
	close(p[1]);
}

class StreamThreadsTest : public EngineTest
{
protected:
	bool waitForDecoderOp(const std::string& op)
	{
		for (int i = 0; i < 500; ++i)
		{
			if (count(decoderOps(), op) > 0)
				return true;
			pumpGui(10);
		}
		return false;
	}

	// Starts a video stream that the server keeps sending (and then keeps open), so
	// the buffer is full when the threads take over.
	void startLongStream(size_t packets = 40000)
	{
		FakeHttpStream::Script script;
		script.body = TsFactory::program(static_cast<int>(packets), 0x100, 0x101);
		script.chunkBytes = 188 * 350;
		script.end = FakeHttpStream::End::Silent;
		serve(script);
		start("/media/film.avi");
		ASSERT_EQ(status(), eOXLEEngine::STATUS_STARTED);
	}
};

TEST_F(StreamThreadsTest, PauseWithAFullBufferPausesAndResumesTheDecoderOnce)
{
	FifoDrain decoder(pvrPath());
	ASSERT_TRUE(decoder.ok());
	startLongStream();
	eOXLEEngine* engine = eOXLEEngine::getInstance();
	engine->status = eOXLEEngine::STATUS_PAUSED;
	ASSERT_TRUE(waitForDecoderOp("pause"));
	// Paused for many of the feeder's rounds.
	pumpGui(200);
	engine->status = eOXLEEngine::STATUS_PLAYING;
	ASSERT_TRUE(waitForDecoderOp("resume"));
	pumpGui(200);
	engine->status = eOXLEEngine::STATUS_CLOSING;
	ASSERT_TRUE(waitForStatus(eOXLEEngine::STATUS_STOPPED, 5000));
	std::vector<std::string> ops = decoderOps();
	EXPECT_EQ(count(ops, "pause"), 1);
	EXPECT_EQ(count(ops, "resume"), 1);
	EXPECT_GT(decoder.size(), 0u);
}

TEST_F(StreamThreadsTest, CloseWithDataBufferedEndsWithoutTheGracePeriod)
{
	// A grace period the test could never wait out: ending must not go through it.
	streamTimings().endOfStreamWaitMs = 3600 * 1000;
	FifoDrain decoder(pvrPath());
	// The decoder takes nothing for a while: the feeder sits in a write with the
	// prebuffered stream behind it.
	decoder.hold(true);
	startLongStream();
	pumpGui(50);
	eOXLEEngine::getInstance()->status = eOXLEEngine::STATUS_CLOSING;
	decoder.hold(false);
	ASSERT_TRUE(waitForStatus(eOXLEEngine::STATUS_STOPPED, 5000));
	pthread_mutex_lock(&tsMutex_Stream);
	EXPECT_EQ(tsBuffer_Stream.size(), 0);
	pthread_mutex_unlock(&tsMutex_Stream);
	// What was buffered was dropped, not played out.
	EXPECT_LT(decoder.size(), static_cast<size_t>(INITIALBUFFER));
	EXPECT_EQ(receiver, pthread_t(0));
	EXPECT_EQ(countCommand("VLC|STP|NOUP"), 1u);
}

TEST_F(StreamThreadsTest, StopWhilePausedTellsTheServerOnce)
{
	FifoDrain decoder(pvrPath());
	startLongStream();
	eOXLEEngine* engine = eOXLEEngine::getInstance();
	engine->status = eOXLEEngine::STATUS_PAUSED;
	pumpGui(100);
	engine->stopNow();
	EXPECT_EQ(status(), eOXLEEngine::STATUS_STOPPED);
	EXPECT_EQ(countCommand("VLC|STP|NOUP"), 1u);
	EXPECT_EQ(receiver, pthread_t(0));
	EXPECT_EQ(pvr, pthread_t(0));
}

TEST_F(StreamThreadsTest, StopWhilePlayingTellsTheServerFromBothSides)
{
	FifoDrain decoder(pvrPath());
	startLongStream();
	pumpGui(50);
	eOXLEEngine::getInstance()->control("stop", "", "", "", 1);
	EXPECT_EQ(status(), eOXLEEngine::STATUS_STOPPED);
	// The feeder's clean-up and the stop itself each send it.
	EXPECT_EQ(countCommand("VLC|STP|NOUP"), 2u);
	EXPECT_EQ(pvr, pthread_t(0));
}

TEST_F(StreamThreadsTest, CancellationInsideABufferWaitGivesTheMutexBack)
{
	FifoDrain decoder(pvrPath());
	// The server sends the prebuffer and then nothing: the feeder waits on an empty
	// buffer, the receiver on its socket.
	streamTimings().emptyPollLimitVideo = 1000000;
	FakeHttpStream::Script script;
	script.body = TsFactory::program(25000, 0x100, 0x101);
	script.end = FakeHttpStream::End::Silent;
	serve(script);
	for (int round = 0; round < 5; ++round)
	{
		start("/media/film.avi");
		ASSERT_EQ(status(), eOXLEEngine::STATUS_STARTED);
		pumpGui(30 + round * 7);
		killThreads_stream();
		ASSERT_EQ(pthread_mutex_trylock(&tsMutex_Stream), 0) << "round " << round;
		pthread_mutex_unlock(&tsMutex_Stream);
		pumpGui(0);
	}
}

TEST_F(StreamThreadsTest, SecondStartAfterAFeederEndedByItself)
{
	FifoDrain decoder(pvrPath());
	FakeHttpStream::Script script;
	script.body = TsFactory::program(25000, 0x100, 0x101);
	serve(script);
	start("/media/film.avi");
	ASSERT_EQ(status(), eOXLEEngine::STATUS_STARTED);
	ASSERT_TRUE(waitForStatus(eOXLEEngine::STATUS_STOPPED, 10000));
	ASSERT_TRUE(decoder.waitDrained());
	// The finished feeder keeps its id until the next start joins it.
	EXPECT_NE(pvr, pthread_t(0));
	EXPECT_EQ(receiver, pthread_t(0));
	size_t firstStream = decoder.size();

	start("/media/film.avi");
	ASSERT_EQ(status(), eOXLEEngine::STATUS_STARTED);
	ASSERT_TRUE(waitForStatus(eOXLEEngine::STATUS_STOPPED, 10000));
	ASSERT_TRUE(decoder.waitDrained());
	EXPECT_GT(decoder.size(), firstStream + script.body.size() / 2);
	EXPECT_EQ(countCommand("VLC|STP|NOUP"), 2u);
}

TEST_F(StreamThreadsTest, DrainedStreamWaitsOutTheGracePeriodBeforeItEnds)
{
	FifoDrain decoder(pvrPath());
	// The grace period is longer than the test: the stream must still be on after the
	// server is done, the buffer drained and the empty-poll limit passed.
	streamTimings().endOfStreamWaitMs = 3600 * 1000;
	std::string body = TsFactory::program(25000, 0x100, 0x101);
	serve(streamOf(body));
	start("/media/film.avi");
	ASSERT_EQ(status(), eOXLEEngine::STATUS_STARTED);
	for (int i = 0; i < 500 && decoder.size() + 511 < body.size(); ++i)
		pumpGui(10);
	ASSERT_GE(decoder.size() + 511, body.size());
	// Far more than the 100 empty polls of a millisecond each.
	pumpGui(400);
	EXPECT_EQ(status(), eOXLEEngine::STATUS_STARTED);
	EXPECT_EQ(countCommand("VLC|STP|NOUP"), 0u);
	// The viewer's stop cuts the grace period short.
	eOXLEEngine::getInstance()->status = eOXLEEngine::STATUS_CLOSING;
	ASSERT_TRUE(waitForStatus(eOXLEEngine::STATUS_STOPPED, 5000));
	EXPECT_EQ(countCommand("VLC|STP|NOUP"), 1u);
}

TEST_F(StreamThreadsTest, StreamThatRunsDryWhilePausedStillEnds)
{
	// The whole file is in the decoder's pipe when the viewer pauses; once the grace
	// period is over the stream has ended, paused or not, and the main window must hear it.
	FifoDrain decoder(pvrPath());
	streamTimings().endOfStreamWaitMs = 1500;
	std::string body = TsFactory::program(3000, 0x100, 0x101);
	serve(streamOf(body));
	start("/media/film.avi");
	ASSERT_EQ(status(), eOXLEEngine::STATUS_STARTED);
	for (int i = 0; i < 500 && decoder.size() < body.size(); ++i)
		pumpGui(10);
	// Past the empty-poll limit: the feeder is in its grace period when the pause comes.
	pumpGui(400);
	eOXLEEngine::getInstance()->status = eOXLEEngine::STATUS_PAUSED;
	ASSERT_TRUE(waitForStatus(eOXLEEngine::STATUS_STOPPED, 10000));
	EXPECT_EQ(countCommand("VLC|STP|NOUP"), 1u);
	EXPECT_EQ(pvr != pthread_t(0), true); // ended by itself: joined at the next start
	killThreads_stream();
}

TEST_F(StreamThreadsTest, AudioOnlyStreamWaitsForItsLongerEmptyPollLimit)
{
	FifoDrain decoder(pvrPath());
	// No grace period, so that only the empty-poll limit holds the end off; the audio
	// limit is far beyond the test while the video limit is not.
	streamTimings().endOfStreamWaitMs = 0;
	streamTimings().emptyPollLimitAudio = 3600 * 1000;
	std::string body = TsFactory::program(3000, -1, 0x101, 0xC0);
	serve(streamOf(body));
	start("/music/song.mp3");
	ASSERT_EQ(status(), eOXLEEngine::STATUS_STARTED);
	for (int i = 0; i < 500 && decoder.size() + 511 < body.size(); ++i)
		pumpGui(10);
	pumpGui(400);
	EXPECT_EQ(status(), eOXLEEngine::STATUS_STARTED);
	eOXLEEngine::getInstance()->status = eOXLEEngine::STATUS_CLOSING;
	ASSERT_TRUE(waitForStatus(eOXLEEngine::STATUS_STOPPED, 5000));
}
