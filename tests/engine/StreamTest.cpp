// The engine's start and its streaming threads against a scripted stream on loopback and
// a reader of the decoder's FIFO.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <tuple>

#include "Decoder.h"
#include "EngineTestSupport.h"
#include "HostTestEnv.h"
#include "ProgressDisplay.h"
#include "StreamThreads.h"
#include "StreamTimings.h"
#include "UniqueFd.h"
#include "eConfig.h"
#include "eLabel.h"
#include "eOXLEEngine.h"
#include "oxleGlobals.h"

namespace
{
const char STOP[] = "VLC|STP|NOUP";
const int FOREVER_MS = 3600 * 1000;
// Half the default prebuffer target of 4,187,136 bytes is 2,093,568.
const size_t HALF_TARGET = 2093568;
const int EVENT_MS = 5000;
const int STREAM_SOCKET_BUFFER = 256 * 1024;

std::atomic<int> interruptions{0};

// Reads the pipe slowly until it ends; pokes the writer with a signal now and then.
std::string slowRead(int fd, pthread_t poke)
{
	std::string got;
	char chunk[4096];
	for (ssize_t n; (n = read(fd, chunk, sizeof chunk)) != 0;)
	{
		if (n < 0 && errno != EINTR)
			break;
		got.append(chunk, n > 0 ? size_t(n) : 0);
		if (poke != pthread_t(0) && got.size() % (16 * sizeof chunk) == 0)
			pthread_kill(poke, SIGUSR1);
		std::this_thread::sleep_for(std::chrono::microseconds(50));
	}
	return got;
}
} // namespace

TEST(WriteAll, ShortAndInterruptedWritesAreCompleted)
{
	struct sigaction action = {}, previous;
	action.sa_handler = [](int) { ++interruptions; };
	sigemptyset(&action.sa_mask);
	action.sa_flags = 0; // no restart: the write comes back short or with EINTR
	ASSERT_EQ(sigaction(SIGUSR1, &action, &previous), 0);
	std::string data(1 << 20, '\0');
	for (size_t i = 0; i < data.size(); ++i)
		data[i] = static_cast<char>((i * 131) >> 3);
	for (bool nonBlocking : {true, false})
	{
		int p[2];
		ASSERT_EQ(pipe(p), 0);
		UniqueFd in(p[0]), out(p[1]);
		if (nonBlocking)
			fcntl(out.get(), F_SETFL, O_NONBLOCK);
		interruptions = 0;
		std::string got;
		const pthread_t writer = nonBlocking ? pthread_t(0) : pthread_self();
		std::thread reader([&] { got = slowRead(in.get(), writer); });
		EXPECT_EQ(writeAll_stream(out.get(), data.data(), int(data.size())), int(data.size()));
		out.reset();
		reader.join();
		EXPECT_TRUE(got == data) << "non-blocking " << nonBlocking;
		EXPECT_EQ(interruptions.load() > 0, !nonBlocking);
		// A device that fails outright drops the block.
		EXPECT_EQ(writeAll_stream(in.get(), data.data(), 10), 0);
	}
	sigaction(SIGUSR1, &previous, nullptr);
}

TEST(Unquote, DecodesUrlEscapes)
{
	const std::pair<const char*, std::string> cases[] = {
		{"a%20b+c", "a b c"},
		{"%41%42c", "ABc"},
		{"%4a", "J"},
		{"100%", "100%"},
		{"%4", std::string(1, '\x04')},
	};
	for (const auto& [text, unquoted] : cases)
		EXPECT_EQ(eOXLEEngine::unquote(text), unquoted) << text;
}

using Start = EngineTest;

TEST_F(Start, PlaysAStreamToItsEndAndTellsTheServer)
{
	FifoDrain decoder(pvrPath());
	ASSERT_TRUE(decoder.ok());
	const std::string body = programme(LONG_STREAM_PACKETS);
	FakeHttpStream::Script script = streamOf(body);
	// The first packets share a segment with the answer: none may be lost, or every packet
	// after them lands off its boundary. The server closes while the stream plays.
	script.bodyWithHeader = 188 * 2 + 90;
	script.gapMs = 2;
	FakeHttpStream& http = serve(script);

	start("/media/film.avi");
	ASSERT_EQ(status(), eOXLEEngine::STATUS_STARTED);
	ASSERT_TRUE(waitForStatus(eOXLEEngine::STATUS_STOPPED));
	ASSERT_TRUE(decoder.waitDrained());
	EXPECT_EQ(decoder.size(), body.size());
	EXPECT_TRUE(decoder.bytes() == body);

	EXPECT_EQ(http.requests(), std::vector<std::string>{"GET /dboxstream HTTP/1.0\r\n\r\n"});
	// Stopped comes last: the server has heard the end by then.
	EXPECT_EQ(commandServer->requests(), (std::vector<std::string>{"RQS|SPO|NO", STOP}));
	// The decoder is taken from the TV service, then programmed.
	EXPECT_EQ(decoderOps(),
		(std::vector<std::string>{"flushClipBuffer", "flushBuffer", "service stop", "flush", "set", "flush"}));
	const std::vector<JournalEvent> set = HostTestEnv::journal(journalMark).all("decoder", {{"op", "set"}});
	ASSERT_EQ(set.size(), 1u);
	EXPECT_EQ(set[0].number("vpid"), VIDEO);
	EXPECT_EQ(set[0].number("apid"), AUDIO);
	EXPECT_EQ(set[0].number("atype"), 0);
	EXPECT_EQ(receiver, pthread_t(0));
	EXPECT_FALSE(audioOnly);
}

TEST_F(Start, ProgressDisplayIsHiddenAfterTheStartAndReleasedAtTheEnd)
{
	FifoDrain decoder(pvrPath());
	// A stream that does not end by itself: the display is the GUI's until the viewer stops.
	streamTimings().emptyPollLimitVideo = FOREVER_MS;
	serve(streamOf(programme(LONG_STREAM_PACKETS), FakeHttpStream::End::Silent));
	start("/media/film.avi");
	ASSERT_EQ(status(), eOXLEEngine::STATUS_STARTED);
	ASSERT_NE(s_statp, nullptr);
	ASSERT_NE(v_progress, nullptr);
	ASSERT_NE(epT, nullptr);
	EXPECT_EQ(epT->getText(), "100%");
	EXPECT_EQ(v_progress->getSize().w, 200); // 250 pixels wide, at 100 %
	EXPECT_FALSE(epT->isShown());
	EXPECT_FALSE(v_progress->isShown());

	engine()->status = eOXLEEngine::STATUS_CLOSING;
	ASSERT_TRUE(waitForStatus(eOXLEEngine::STATUS_STOPPED));
	// Released on the GUI thread, once the feeder has handed it over.
	EXPECT_TRUE(HostTestEnv::pumpUntil([] { return !s_statp && !v_progress && !s_stat && !epT; }, EVENT_MS));
}

TEST_F(Start, RefusedStreamsEndInAnErrorAndLeaveTheTvServiceAlone)
{
	const std::tuple<const char*, std::string, int> cases[] = {
		{"never answers", "", eOXLEEngine::STREAM_NO_ANSWER},
		{"answers as HTTP/1.1", "HTTP/1.1 200 OK", eOXLEEngine::STREAM_BAD_ANSWER},
		{"answers not found", "HTTP/1.0 404 Not Found", eOXLEEngine::STREAM_BAD_ANSWER},
	};
	for (const auto& [what, statusLine, request] : cases)
	{
		FakeHttpStream::Script script = streamOf(std::string(), FakeHttpStream::End::Silent);
		script.statusLine = statusLine;
		serve(script);
		engine()->control("size-only", "/media/film.avi", "0", "0", 1);
		engine()->serverAddress = "127.0.0.1";
		engine()->streamPort = std::to_string(streamPort.load());
		EXPECT_EQ(engine()->requestStream(), request) << what;
		EXPECT_EQ(streamSocket, -1) << what;

		start("/media/film.avi");
		EXPECT_EQ(status(), eOXLEEngine::STATUS_ERROR) << what;
		EXPECT_EQ(pvr, pthread_t(0)) << what;
	}
	// Nothing listens on the stream port; a failed "RQS|SPO" leaves no port at all.
	streamPort = FakeServer::freePort();
	EXPECT_EQ(playStreamOf("/media/film.avi"), eOXLEEngine::STREAM_NO_CONNECTION);
	streamPort = 0;
	start("/media/film.avi");
	EXPECT_EQ(status(), eOXLEEngine::STATUS_ERROR);
	EXPECT_TRUE(decoderOps().empty());
}

TEST_F(Start, PrebufferNeedsHalfItsTargetUnlessTheFileEndsFirst)
{
	const std::string body = programme(12000); // 2,256,000 bytes
	const std::tuple<size_t, FakeHttpStream::End, int> cases[] = {
		{HALF_TARGET - 188, FakeHttpStream::End::Silent, eOXLEEngine::STREAM_TOO_LITTLE_DATA},
		{HALF_TARGET + 188, FakeHttpStream::End::Silent, 0},
		// Well under half, and the server closes: that is the whole file, and it plays.
		{2000 * 188, FakeHttpStream::End::Close, 0},
	};
	for (const auto& [bytes, end, result] : cases)
	{
		FifoDrain decoder(pvrPath());
		serve(streamOf(body.substr(0, bytes), end));
		EXPECT_EQ(playStreamOf("/media/film.avi"), result) << bytes;
		if (end == FakeHttpStream::End::Close)
		{
			ASSERT_TRUE(waitForStatus(eOXLEEngine::STATUS_STOPPED));
			ASSERT_TRUE(decoder.waitDrained());
			EXPECT_EQ(decoder.size(), bytes);
		}
		endStream();
	}
}

TEST_F(Start, CloseDuringPrebufferingAborts)
{
	FakeHttpStream::Script script = streamOf(programme(LONG_STREAM_PACKETS));
	script.gapMs = 20; // slow enough that prebuffering goes on for seconds
	serve(script);
	std::thread viewer([this] {
		if (stream->waitForRequests(1, EVENT_MS))
			engine()->status = eOXLEEngine::STATUS_CLOSING;
	});
	EXPECT_EQ(playStreamOf("/media/film.avi"), eOXLEEngine::STREAM_TOO_LITTLE_DATA);
	viewer.join();
}

TEST_F(Start, PidsDecideWhetherAStreamCanPlay)
{
	const std::tuple<const char*, int, int, int, int> cases[] = {
		// path, video PID (none when negative), audio stream id, result, audio type code
		{"/media/film.avi", -1, 0xC0, eOXLEEngine::STREAM_NO_PIDS, 0},
		{"/media/film.avi", VIDEO, 0xBE, eOXLEEngine::STREAM_NO_PIDS, 0},
		{"/media/film.avi", VIDEO, 0xBD, 0, 0},
		// With the box's AC-3 preference, DVD sources get their own code.
		{"/dvd/VTS_01_1.vob", VIDEO, 0xBD, 0, 3},
	};
	for (const auto& [path, video, audioStreamId, result, audioType] : cases)
	{
		FifoDrain decoder(pvrPath());
		if (audioType)
			eConfig::getInstance()->setKey("/elitedvb/audio/ac3default", 1);
		serve(streamOf(programme(LONG_STREAM_PACKETS, video, audioStreamId), FakeHttpStream::End::Silent));
		EXPECT_EQ(playStreamOf(path), result) << path << " " << audioStreamId;
		EXPECT_TRUE(result != eOXLEEngine::STREAM_NO_PIDS || streamSocket == -1) << path;
		EXPECT_TRUE(!audioType || Decoder::parms.audio_type == audioType) << path;
		endStream();
	}
}

TEST_F(Start, AudioOnlyStreamKeepsTheVideoPidAndPlaysToTheEnd)
{
	FifoDrain decoder(pvrPath());
	Decoder::parms.vpid = 0x1234;
	const std::string body = programme(3000, -1);
	serve(streamOf(body));
	start("/music/song.MP3");
	ASSERT_EQ(status(), eOXLEEngine::STATUS_STARTED);
	EXPECT_FALSE(isStream);
	EXPECT_EQ(INITIALBUFFER, 130848);
	EXPECT_EQ(Decoder::parms.vpid, 0x1234);
	EXPECT_EQ(Decoder::parms.apid, AUDIO);
	ASSERT_TRUE(waitForStatus(eOXLEEngine::STATUS_STOPPED));
	ASSERT_TRUE(decoder.waitDrained());
	EXPECT_FALSE(audioOnly);
	EXPECT_TRUE(decoder.bytes() == body);
}

TEST_F(Start, MissingDecoderDeviceStillEndsTheStream)
{
	unlink(pvrPath().c_str());
	serve(streamOf(programme(LONG_STREAM_PACKETS)));
	start("/media/film.avi");
	ASSERT_EQ(status(), eOXLEEngine::STATUS_STARTED);
	ASSERT_TRUE(waitForStatus(eOXLEEngine::STATUS_STOPPED));
	EXPECT_EQ(countCommand(STOP), 1u);
	EXPECT_EQ(receiver, pthread_t(0));
}

TEST_F(Start, BufferSizeSettingAndTheStreamSocketsBuffer)
{
	// The rule itself is the unit tests'; here, that the engine follows the setting (0: none).
	for (const auto& [blocks, initialBuffer] : {std::pair{0, 4187136}, std::pair{4, 1046784}})
	{
		if (blocks)
			eConfig::getInstance()->setKey("/enigma/plugins/oxle/buffersize", blocks);
		engine()->control("size-only", "/media/film.avi", "0", "0", 1);
		EXPECT_EQ(INITIALBUFFER, initialBuffer) << blocks;
		EXPECT_EQ(BLOCKSIZE, 261696);
	}
	// The box's buffer is the stream's buffer: a kernel that grew the socket's to many
	// megabytes would run the stream half a minute ahead of the picture.
	FakeServer listener([](const std::string&) { return FakeServer::Reply::stall(); });
	UniqueFd socket(tcpOpen_stream("127.0.0.1", listener.port(), 1));
	ASSERT_TRUE(socket);
	int size = 0;
	socklen_t length = sizeof size;
	ASSERT_EQ(getsockopt(socket.get(), SOL_SOCKET, SO_RCVBUF, &size, &length), 0);
	EXPECT_GE(size, STREAM_SOCKET_BUFFER); // the kernel doubles what it is given
	EXPECT_LE(size, 2 * STREAM_SOCKET_BUFFER);
}

class Threads : public EngineTest
{
protected:
	// Starts a video stream that the server keeps sending and then keeps open, so that
	// the buffer is full when the threads take over, and that ends only when told: the
	// decoder drains it in well under a second.
	void startLongStream()
	{
		streamTimings().emptyPollLimitVideo = FOREVER_MS;
		serve(streamOf(programme(40000), FakeHttpStream::End::Silent));
		start("/media/film.avi");
		ASSERT_EQ(status(), eOXLEEngine::STATUS_STARTED);
	}
	bool waitForDecoderOp(const std::string& op)
	{
		return HostTestEnv::pumpUntil([&] { return count(decoderOps(), op) > 0; }, EVENT_MS);
	}
	// Runs until the stream the server sent has reached the decoder.
	bool waitForDecoder(const FifoDrain& decoder, size_t bytes)
	{
		return HostTestEnv::pumpUntil([&] { return decoder.size() >= bytes; }, WAIT_MS);
	}
};

TEST_F(Threads, PauseWithAFullBufferPausesAndResumesTheDecoderOnce)
{
	FifoDrain decoder(pvrPath());
	startLongStream();
	engine()->status = eOXLEEngine::STATUS_PAUSED;
	ASSERT_TRUE(waitForDecoderOp("pause"));
	pumpFor(200); // many of the feeder's rounds
	engine()->status = eOXLEEngine::STATUS_PLAYING;
	ASSERT_TRUE(waitForDecoderOp("resume"));
	pumpFor(200);
	engine()->status = eOXLEEngine::STATUS_CLOSING;
	ASSERT_TRUE(waitForStatus(eOXLEEngine::STATUS_STOPPED));
	EXPECT_EQ(count(decoderOps(), "pause"), 1u);
	EXPECT_EQ(count(decoderOps(), "resume"), 1u);
	EXPECT_GT(decoder.size(), 0u);
}

TEST_F(Threads, CloseWithDataBufferedEndsWithoutTheGracePeriod)
{
	streamTimings().endOfStreamWaitMs = FOREVER_MS;
	FifoDrain decoder(pvrPath());
	// The decoder takes nothing for a while: the feeder sits in a write with the
	// prebuffered stream behind it.
	decoder.hold(true);
	startLongStream();
	pumpFor(50);
	engine()->status = eOXLEEngine::STATUS_CLOSING;
	decoder.hold(false);
	ASSERT_TRUE(waitForStatus(eOXLEEngine::STATUS_STOPPED));
	pthread_mutex_lock(&tsMutex_Stream);
	EXPECT_EQ(tsBuffer_Stream.size(), 0);
	pthread_mutex_unlock(&tsMutex_Stream);
	// What was buffered was dropped, not played out.
	EXPECT_LT(decoder.size(), size_t(INITIALBUFFER));
	EXPECT_EQ(receiver, pthread_t(0));
	EXPECT_EQ(countCommand(STOP), 1u);
}

TEST_F(Threads, StopTellsTheServerOnceWhenPausedAndFromBothSidesWhenPlaying)
{
	for (bool whilePaused : {true, false})
	{
		FifoDrain decoder(pvrPath());
		const size_t before = countCommand(STOP);
		startLongStream();
		ASSERT_TRUE(waitForDecoder(decoder, 1));
		if (whilePaused)
		{
			engine()->status = eOXLEEngine::STATUS_PAUSED;
			ASSERT_TRUE(waitForDecoderOp("pause"));
			engine()->stopNow();
		}
		else
			engine()->control("stop", "", "", "", 1);
		EXPECT_EQ(status(), eOXLEEngine::STATUS_STOPPED);
		// Playing, the feeder's clean-up and the stop itself each send it.
		EXPECT_EQ(countCommand(STOP) - before, whilePaused ? 1u : 2u);
		EXPECT_EQ(receiver, pthread_t(0));
		EXPECT_EQ(pvr, pthread_t(0));
	}
}

TEST_F(Threads, CancellationInsideABufferWaitGivesTheMutexBack)
{
	FifoDrain decoder(pvrPath());
	// The server sends the prebuffer and then nothing: the feeder waits on an empty
	// buffer, the receiver on its socket.
	streamTimings().emptyPollLimitVideo = FOREVER_MS;
	serve(streamOf(programme(25000), FakeHttpStream::End::Silent));
	for (int round = 0; round < 3; ++round)
	{
		start("/media/film.avi");
		ASSERT_EQ(status(), eOXLEEngine::STATUS_STARTED);
		pumpFor(30 + round * 7);
		killThreads_stream();
		ASSERT_EQ(pthread_mutex_trylock(&tsMutex_Stream), 0) << "round " << round;
		pthread_mutex_unlock(&tsMutex_Stream);
		eApp->processOneEvent(0);
	}
}

TEST_F(Threads, SecondStartAfterAFeederEndedByItself)
{
	FifoDrain decoder(pvrPath());
	const std::string body = programme(25000);
	serve(streamOf(body));
	start("/media/film.avi");
	ASSERT_TRUE(waitForStatus(eOXLEEngine::STATUS_STOPPED));
	ASSERT_TRUE(decoder.waitDrained());
	// The finished feeder keeps its id until the next start joins it.
	EXPECT_NE(pvr, pthread_t(0));
	EXPECT_EQ(receiver, pthread_t(0));
	start("/media/film.avi");
	ASSERT_EQ(status(), eOXLEEngine::STATUS_STARTED);
	ASSERT_TRUE(waitForStatus(eOXLEEngine::STATUS_STOPPED));
	ASSERT_TRUE(decoder.waitDrained());
	EXPECT_EQ(decoder.size(), 2 * body.size());
	EXPECT_EQ(countCommand(STOP), 2u);
}

TEST_F(Threads, DrainedStreamWaitsForItsEmptyPollLimitAndGracePeriodUnlessTheViewerStops)
{
	// Each time one wait is longer than the test: for video the grace period, for audio
	// only the empty-poll limit, while the other is short.
	const std::tuple<const char*, int, int, int> cases[] = {
		{"/media/film.avi", VIDEO, FOREVER_MS, 200}, {"/music/song.mp3", -1, 0, FOREVER_MS}};
	for (const auto& [path, video, graceMs, audioLimit] : cases)
	{
		streamTimings().endOfStreamWaitMs = graceMs;
		streamTimings().emptyPollLimitAudio = audioLimit;
		FifoDrain decoder(pvrPath());
		const std::string body = programme(3000, video);
		serve(streamOf(body));
		const size_t stops = countCommand(STOP);
		start(path);
		ASSERT_TRUE(waitForDecoder(decoder, body.size()));
		pumpFor(400); // far more than 100 empty polls of a millisecond
		EXPECT_EQ(status(), eOXLEEngine::STATUS_STARTED) << path;
		EXPECT_EQ(countCommand(STOP), stops);
		engine()->status = eOXLEEngine::STATUS_CLOSING;
		ASSERT_TRUE(waitForStatus(eOXLEEngine::STATUS_STOPPED));
		EXPECT_EQ(countCommand(STOP), stops + 1);
	}
}

TEST_F(Threads, StreamThatRunsDryWhilePausedStillEnds)
{
	// The whole file is in the decoder's pipe when the viewer pauses; once the grace
	// period is over the stream has ended, paused or not, and the main window must hear it.
	streamTimings().endOfStreamWaitMs = 1500;
	FifoDrain decoder(pvrPath());
	const std::string body = programme(3000);
	serve(streamOf(body));
	start("/media/film.avi");
	ASSERT_TRUE(waitForDecoder(decoder, body.size()));
	pumpFor(400); // past the empty-poll limit: in the grace period when the pause comes
	engine()->status = eOXLEEngine::STATUS_PAUSED;
	ASSERT_TRUE(waitForStatus(eOXLEEngine::STATUS_STOPPED));
	EXPECT_EQ(countCommand(STOP), 1u);
}
