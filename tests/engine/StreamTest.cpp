// The engine's start and its streaming threads against a scripted stream on loopback and
// a reader of the decoder's FIFO.
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <tuple>

#include "Decoder.h"
#include "EngineTestSupport.h"
#include "ProgressDisplay.h"
#include "StreamThreads.h"
#include "StreamTimings.h"
#include "eConfig.h"
#include "eLabel.h"
#include "oxleGlobals.h"

namespace
{
const char STOP_REQUEST[] = "VLC|STP|NOUP";
const int FOREVER_MS = 3600 * 1000;
// Half the default prebuffer target of 4,187,136 bytes is 2,093,568.
const size_t HALF_TARGET = 2093568;
const int STREAM_SOCKET_BUFFER = 256 * 1024;
const int KEPT_VPID = 0x1234;
} // namespace

using Start = EngineTest;

TEST_F(Start, PlaysAStreamToItsEndAndTellsTheServer)
{
	// An audio file gets the small buffer and keeps the video PID the box had.
	const std::tuple<const char*, int, int, int> cases[] = {
		{"/media/film.avi", VIDEO, VIDEO, 4187136}, {"/music/song.MP3", -1, KEPT_VPID, 130848}};
	for (const auto& [path, video, vpid, initialBuffer] : cases)
	{
		SCOPED_TRACE(path);
		FifoDrain decoder(pvrPath());
		const std::string body = programme(video > 0 ? LONG_STREAM_PACKETS : 3000, video);
		FakeHttpStream::Script script = streamOf(body);
		// The first packets share a segment with the answer: none may be lost, or every
		// packet after them lands off its boundary. The server closes while the stream plays.
		script.bodyWithHeader = 188 * 2 + 90;
		script.gapMs = 2;
		FakeHttpStream& http = serve(script);
		journalMark = HostTestEnv::journalMark();
		const size_t stops = countCommand(STOP_REQUEST);
		Decoder::parms.vpid = KEPT_VPID;
		start(path);
		ASSERT_EQ(status(), eOXLEEngine::STATUS_STARTED);
		EXPECT_EQ(INITIALBUFFER, initialBuffer);
		ASSERT_TRUE(waitForStatus(eOXLEEngine::STATUS_STOPPED));
		// Stopped comes last: the server has heard the end by then.
		EXPECT_EQ(countCommand(STOP_REQUEST), stops + 1);
		ASSERT_TRUE(waitForDecoder(decoder, body.size()));
		EXPECT_TRUE(decoder.bytes() == body);
		EXPECT_EQ(http.requests(), std::vector<std::string>{"GET /dboxstream HTTP/1.0\r\n\r\n"});
		// The decoder is taken from the TV service, then programmed.
		EXPECT_EQ(decoderOps(),
			(std::vector<std::string>{"flushClipBuffer", "flushBuffer", "service stop", "flush", "set", "flush"}));
		const std::vector<JournalEvent> set = HostTestEnv::journal(journalMark).all("decoder", {{"op", "set"}});
		ASSERT_EQ(set.size(), 1u);
		EXPECT_EQ(set[0].number("vpid"), vpid);
		EXPECT_EQ(set[0].number("apid"), AUDIO);
		EXPECT_EQ(set[0].number("atype"), 0);
		EXPECT_EQ(receiver, pthread_t(0));
		EXPECT_FALSE(audioOnly);
	}
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
	EXPECT_TRUE(pumpUntil([] { return !s_statp && !v_progress && !s_stat && !epT; }));
}

TEST_F(Start, RefusedStreamsEndInAnErrorAndLeaveTheTvServiceAlone)
{
	for (const char* statusLine : {"", "HTTP/1.1 200 OK", "HTTP/1.0 404 Not Found"}) // "": never answers
	{
		FakeHttpStream::Script script = streamOf(std::string(), FakeHttpStream::End::Silent);
		script.statusLine = statusLine;
		serve(script);
		start("/media/film.avi");
		EXPECT_EQ(status(), eOXLEEngine::STATUS_ERROR) << statusLine;
		EXPECT_EQ(streamSocket, -1) << statusLine;
		EXPECT_EQ(pvr, pthread_t(0)) << statusLine;
	}
	// Nothing listens on the stream port; a failed "RQS|SPO" leaves no port at all.
	streamPort = FakeServer::freePort();
	EXPECT_EQ(playStreamOf("/media/film.avi"), eOXLEEngine::STREAM_NO_CONNECTION);
	streamPort = 0;
	start("/media/film.avi");
	EXPECT_EQ(status(), eOXLEEngine::STATUS_ERROR);
	EXPECT_TRUE(decoderOps().empty());
}

TEST_F(Start, PrebufferNeedsHalfItsTargetUnlessTheFileEndsFirstOrTheViewerCloses)
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
			EXPECT_TRUE(waitForDecoder(decoder, bytes));
		}
		endStream();
	}
	// Closing while it prebuffers aborts the start.
	FakeHttpStream::Script script = streamOf(programme(LONG_STREAM_PACKETS));
	script.gapMs = 20; // slow enough that prebuffering goes on for seconds
	serve(script);
	std::thread viewer([this] {
		if (stream->waitForRequests(1, WAIT_MS))
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

TEST_F(Start, StreamSocketBufferStaysSmall)
{
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
	// A video stream the server sends and then keeps open, so that the buffer is full
	// when the threads take over and it ends only when told.
	void startLongStream()
	{
		streamTimings().emptyPollLimitVideo = FOREVER_MS;
		serve(streamOf(programme(40000), FakeHttpStream::End::Silent));
		start("/media/film.avi");
		ASSERT_EQ(status(), eOXLEEngine::STATUS_STARTED);
	}
};

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
	EXPECT_EQ(countCommand(STOP_REQUEST), 1u);
}

// A stop while playing is Deadline's test: there the feeder's clean-up and the stop each tell it.
TEST_F(Threads, PauseReachesTheDecoderOnceAndAStopWhilePausedTellsTheServerOnce)
{
	FifoDrain decoder(pvrPath());
	startLongStream();
	ASSERT_TRUE(waitForDecoder(decoder, 1));
	engine()->status = eOXLEEngine::STATUS_PAUSED;
	ASSERT_TRUE(pumpUntil([&] { return count(decoderOps(), "pause") > 0; }));
	pumpFor(200); // many of the feeder's rounds
	EXPECT_EQ(count(decoderOps(), "pause"), 1u);
	engine()->stopNow();
	EXPECT_EQ(status(), eOXLEEngine::STATUS_STOPPED);
	EXPECT_EQ(countCommand(STOP_REQUEST), 1u);
	EXPECT_EQ(receiver, pthread_t(0));
	EXPECT_EQ(pvr, pthread_t(0));
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

TEST_F(Threads, DrainedStreamEndsAfterItsEmptyPollLimitAndGracePeriodPausedOrNot)
{
	// In the first two rows one wait is longer than the test (for video the grace period,
	// for audio only the empty-poll limit) and the viewer ends the stream. In the last the
	// viewer pauses during the grace period: the stream ends anyway, and the main window
	// must hear it.
	const std::tuple<const char*, int, int, int, bool> cases[] = {{"/media/film.avi", VIDEO, FOREVER_MS, 200, false},
		{"/music/song.mp3", -1, 0, FOREVER_MS, false}, {"/media/film.avi", VIDEO, 1500, 200, true}};
	for (const auto& [path, video, graceMs, audioLimit, pause] : cases)
	{
		SCOPED_TRACE(graceMs);
		streamTimings().endOfStreamWaitMs = graceMs;
		streamTimings().emptyPollLimitAudio = audioLimit;
		FifoDrain decoder(pvrPath());
		const std::string body = programme(3000, video);
		serve(streamOf(body));
		const size_t stops = countCommand(STOP_REQUEST);
		start(path);
		ASSERT_TRUE(waitForDecoder(decoder, body.size()));
		pumpFor(400); // far more than 100 empty polls of a millisecond
		EXPECT_EQ(status(), eOXLEEngine::STATUS_STARTED);
		EXPECT_EQ(countCommand(STOP_REQUEST), stops);
		engine()->status = pause ? eOXLEEngine::STATUS_PAUSED : eOXLEEngine::STATUS_CLOSING;
		ASSERT_TRUE(waitForStatus(eOXLEEngine::STATUS_STOPPED));
		EXPECT_EQ(countCommand(STOP_REQUEST), stops + 1);
	}
}
