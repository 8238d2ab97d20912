#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <thread>

#include "Decoder.h"
#include "EngineTestSupport.h"
#include "ProgressDisplay.h"
#include "StreamThreads.h"
#include "StreamTimings.h"
#include "TempBoxRoot.h"
#include "TsFactory.h"
#include "VirtualDecoder.h"
#include "eConfig.h"
#include "eLabel.h"
#include "eOXLEEngine.h"
#include "oxleGlobals.h"

namespace
{
const int VIDEO = 0x100;
const int AUDIO = 0x101;
// Enough packets to fill the default prebuffer target (4,187,136 bytes) and more.
const int LONG_STREAM_PACKETS = 30000;
const int WAIT_MS = 10000;

FakeHttpStream::Script streamOf(std::string body, FakeHttpStream::End end = FakeHttpStream::End::Close)
{
	FakeHttpStream::Script script;
	script.body = std::move(body);
	script.chunkBytes = 188 * 350;
	script.end = end;
	return script;
}

bool isSuffixOf(const std::string& tail, const std::string& whole)
{
	return tail.size() <= whole.size() && whole.compare(whole.size() - tail.size(), tail.size(), tail) == 0;
}

bool copyFile(const std::string& from, const std::string& to)
{
	std::ifstream in(from, std::ios::binary);
	std::ofstream out(to, std::ios::binary);
	out << in.rdbuf();
	return in.good() && out.good();
}
} // namespace

class eOXLEEngineTest : public EngineTest
{
protected:
	eOXLEEngine* engine = eOXLEEngine::getInstance();

	// Sizes the buffers for path as a start would, without starting.
	void sizeFor(const std::string& path) { engine->control("size-only", path, "0", "0", 1); }

	// The stream part of a start, with its result code.
	int playStreamOf(const std::string& path)
	{
		sizeFor(path);
		engine->status = eOXLEEngine::STATUS_PLAYING;
		engine->serverAddress = "127.0.0.1";
		engine->streamPort = std::to_string(streamPort.load());
		return engine->playStream(path);
	}
};

TEST_F(eOXLEEngineTest, PlaysAStreamToItsEndAndTellsTheServer)
{
	FifoDrain decoder(pvrPath());
	ASSERT_TRUE(decoder.ok());
	std::string body = TsFactory::program(LONG_STREAM_PACKETS, VIDEO, AUDIO, 0xC0);
	FakeHttpStream& http = serve(streamOf(body));

	start("/media/film.avi");
	ASSERT_EQ(status(), eOXLEEngine::STATUS_STARTED);
	ASSERT_TRUE(waitForStatus(eOXLEEngine::STATUS_STOPPED, WAIT_MS));
	ASSERT_TRUE(decoder.waitDrained());

	// Everything after the server's first answer reaches the device, in order.
	std::string played = decoder.bytes();
	EXPECT_GE(played.size() + 511, body.size());
	EXPECT_TRUE(isSuffixOf(played, body));

	ASSERT_EQ(http.requests().size(), 1u);
	EXPECT_EQ(http.requests()[0], "GET /dboxstream HTTP/1.0\r\n\r\n");
	std::vector<std::string> sent = commands();
	ASSERT_EQ(sent.size(), 2u);
	EXPECT_EQ(sent[0], "RQS|SPO|NO");
	EXPECT_EQ(sent[1], "VLC|STP|NOUP");

	// The decoder is taken from the TV service, then programmed.
	std::vector<std::string> expected = {"flushClipBuffer", "flushBuffer", "service stop", "flush", "set", "flush"};
	EXPECT_EQ(decoderOps(), expected);
	std::vector<nlohmann::json> set;
	for (const nlohmann::json& line : journal("decoder"))
		if (line.value("op", "") == "set")
			set.push_back(line);
	ASSERT_EQ(set.size(), 1u);
	EXPECT_EQ(set[0].value("vpid", 0), VIDEO);
	EXPECT_EQ(set[0].value("apid", 0), AUDIO);
	EXPECT_EQ(set[0].value("atype", -1), 0);

	EXPECT_EQ(receiver, pthread_t(0));
	EXPECT_FALSE(audioOnly);
}

TEST_F(eOXLEEngineTest, ProgressDisplayIsHiddenAfterTheStartAndReleasedAtTheEnd)
{
	std::string pictures = engineTestRoot().file("/var/tuxbox/config/enigma/pictures/oxle/");
	ASSERT_TRUE(engineTestRoot().writeFile("/var/tuxbox/config/enigma/pictures/oxle/.keep", ""));
	ASSERT_TRUE(copyFile(std::string(OXLE_DATA_DIR) + "/pictures/v_progress.png", pictures + "v_progress.png"));
	FifoDrain decoder(pvrPath());
	// A stream that does not end by itself: the display is the GUI's to look at
	// until the viewer stops.
	streamTimings().emptyPollLimitVideo = 1000000;
	serve(streamOf(TsFactory::program(LONG_STREAM_PACKETS, VIDEO, AUDIO), FakeHttpStream::End::Silent));

	start("/media/film.avi");
	ASSERT_EQ(status(), eOXLEEngine::STATUS_STARTED);
	ASSERT_NE(s_statp, nullptr);
	ASSERT_NE(v_progress, nullptr);
	ASSERT_NE(epT, nullptr);
	EXPECT_EQ(epT->getText(), "100%");
	EXPECT_EQ(v_progress->getSize().w, 200); // 250 pixels wide, at 100 %
	EXPECT_FALSE(epT->isShown());
	EXPECT_FALSE(v_progress->isShown());

	engine->status = eOXLEEngine::STATUS_CLOSING;
	ASSERT_TRUE(waitForStatus(eOXLEEngine::STATUS_STOPPED, WAIT_MS));
	pumpGui(20);
	EXPECT_EQ(s_statp, nullptr);
	EXPECT_EQ(v_progress, nullptr);
	EXPECT_EQ(s_stat, nullptr);
	EXPECT_EQ(epT, nullptr);
	unlink((pictures + "v_progress.png").c_str());
}

TEST_F(eOXLEEngineTest, RefusedStreamsEndInAnError)
{
	struct Case
	{
		const char* what;
		std::string statusLine;
		int request;
	};
	const Case cases[] = {
		{"never answers", "", eOXLEEngine::STREAM_NO_ANSWER},
		{"answers as HTTP/1.1", "HTTP/1.1 200 OK", eOXLEEngine::STREAM_BAD_ANSWER},
		{"answers not found", "HTTP/1.0 404 Not Found", eOXLEEngine::STREAM_BAD_ANSWER},
	};
	for (const Case& c : cases)
	{
		FakeHttpStream::Script script = streamOf(std::string(), FakeHttpStream::End::Silent);
		script.statusLine = c.statusLine;
		serve(script);
		sizeFor("/media/film.avi");
		engine->serverAddress = "127.0.0.1";
		engine->streamPort = std::to_string(streamPort.load());
		EXPECT_EQ(engine->requestStream(), c.request) << c.what;
		EXPECT_EQ(streamSocket, -1) << c.what;

		start("/media/film.avi");
		EXPECT_EQ(status(), eOXLEEngine::STATUS_ERROR) << c.what;
		EXPECT_EQ(pvr, pthread_t(0)) << c.what;
		EXPECT_EQ(receiver, pthread_t(0)) << c.what;
		stream->stop();
	}
	// Nothing was taken from the TV service.
	EXPECT_TRUE(decoderOps().empty());
}

TEST_F(eOXLEEngineTest, NoServerOnTheStreamPort)
{
	FakeServer closed([](const std::string&) { return FakeServer::Reply::closeWithoutReply(); });
	int port = closed.port();
	closed.stop();
	setStreamPort(port);
	EXPECT_EQ(playStreamOf("/media/film.avi"), eOXLEEngine::STREAM_NO_CONNECTION);
	// A failed "RQS|SPO" leaves no port number at all.
	setStreamPort(0);
	start("/media/film.avi");
	EXPECT_EQ(status(), eOXLEEngine::STATUS_ERROR);
}

TEST_F(eOXLEEngineTest, PrebufferNeedsHalfItsTarget)
{
	const std::string body = TsFactory::program(12000, VIDEO, AUDIO); // 2,256,000 bytes
	struct Case
	{
		size_t bytes;
		int result;
	};
	// Half the default target of 4,187,136 bytes is 2,093,568.
	const Case cases[] = {{2000000, eOXLEEngine::STREAM_TOO_LITTLE_DATA}, {2100000, 0}};
	for (const Case& c : cases)
	{
		FifoDrain decoder(pvrPath());
		serve(streamOf(body.substr(0, c.bytes), FakeHttpStream::End::Silent));
		EXPECT_EQ(playStreamOf("/media/film.avi"), c.result) << c.bytes;
		engine->status = eOXLEEngine::STATUS_CLOSING;
		killThreads_stream();
		pumpGui(0);
		stream->stop();
	}
}

TEST_F(eOXLEEngineTest, StreamBytesArrivingWithTheAnswerAreKept)
{
	// The server's first packets may share a TCP segment with its answer; none of them
	// may be lost, or every packet after them lands off its boundary.
	FifoDrain decoder(pvrPath());
	ASSERT_TRUE(decoder.ok());
	std::string body = TsFactory::program(LONG_STREAM_PACKETS, VIDEO, AUDIO, 0xC0);
	FakeHttpStream::Script script = streamOf(body);
	script.bodyWithHeader = 188 * 2 + 90;
	serve(script);

	start("/media/film.avi");
	ASSERT_EQ(status(), eOXLEEngine::STATUS_STARTED);
	ASSERT_TRUE(waitForStatus(eOXLEEngine::STATUS_STOPPED, WAIT_MS));
	ASSERT_TRUE(decoder.waitDrained());
	EXPECT_EQ(decoder.bytes().size(), body.size());
	EXPECT_TRUE(decoder.bytes() == body);
}

TEST_F(eOXLEEngineTest, ShortFileThatArrivesWholePlays)
{
	// Well under half the prebuffer target, then the server closes: the whole file.
	FifoDrain decoder(pvrPath());
	std::string body = TsFactory::program(2000, VIDEO, AUDIO, 0xC0);
	serve(streamOf(body, FakeHttpStream::End::Close));
	EXPECT_EQ(playStreamOf("/media/short.avi"), 0);
	ASSERT_TRUE(waitForStatus(eOXLEEngine::STATUS_STOPPED, WAIT_MS));
	ASSERT_TRUE(decoder.waitDrained());
	EXPECT_EQ(decoder.bytes().size(), body.size());
}

TEST_F(eOXLEEngineTest, SilenceAfterTooLittleDataIsAnError)
{
	serve(streamOf(TsFactory::program(10000, VIDEO, AUDIO), FakeHttpStream::End::Silent));
	start("/media/film.avi");
	EXPECT_EQ(status(), eOXLEEngine::STATUS_ERROR);
	EXPECT_EQ(streamSocket, -1);
	EXPECT_TRUE(decoderOps().empty());
}

TEST_F(eOXLEEngineTest, CloseDuringPrebufferingAborts)
{
	FakeHttpStream::Script script = streamOf(TsFactory::program(LONG_STREAM_PACKETS, VIDEO, AUDIO));
	script.gapMs = 20; // slow enough that prebuffering is still going on
	serve(script);
	std::thread viewer([this] {
		std::this_thread::sleep_for(std::chrono::milliseconds(150));
		engine->status = eOXLEEngine::STATUS_CLOSING;
	});
	EXPECT_EQ(playStreamOf("/media/film.avi"), eOXLEEngine::STREAM_TOO_LITTLE_DATA);
	viewer.join();
}

TEST_F(eOXLEEngineTest, PidsDecideWhetherAStreamCanPlay)
{
	struct Case
	{
		const char* path;
		int video;
		int audioStreamId;
		int result;
	};
	const Case cases[] = {
		{"/media/film.avi", -1, 0xC0, eOXLEEngine::STREAM_NO_PIDS},
		{"/media/film.avi", VIDEO, 0xBE, eOXLEEngine::STREAM_NO_PIDS},
		{"/music/song.mp3", -1, 0xC0, 0},
		{"/media/film.avi", VIDEO, 0xBD, 0},
	};
	for (const Case& c : cases)
	{
		FifoDrain decoder(pvrPath());
		serve(streamOf(
			TsFactory::program(LONG_STREAM_PACKETS, c.video, AUDIO, c.audioStreamId), FakeHttpStream::End::Silent));
		EXPECT_EQ(playStreamOf(c.path), c.result) << c.path << " " << c.audioStreamId;
		if (c.result == eOXLEEngine::STREAM_NO_PIDS)
		{
			EXPECT_EQ(streamSocket, -1);
		}
		engine->status = eOXLEEngine::STATUS_CLOSING;
		killThreads_stream();
		pumpGui(0);
		stream->stop();
	}
}

TEST_F(eOXLEEngineTest, AudioOnlyStreamKeepsTheVideoPidAndPlaysToTheEnd)
{
	FifoDrain decoder(pvrPath());
	Decoder::parms.vpid = 0x1234;
	std::string body = TsFactory::program(3000, -1, AUDIO, 0xC0);
	serve(streamOf(body));
	start("/music/song.MP3");
	ASSERT_EQ(status(), eOXLEEngine::STATUS_STARTED);
	EXPECT_FALSE(isStream);
	EXPECT_EQ(INITIALBUFFER, 130848);
	EXPECT_EQ(Decoder::parms.vpid, 0x1234);
	EXPECT_EQ(Decoder::parms.apid, AUDIO);
	ASSERT_TRUE(waitForStatus(eOXLEEngine::STATUS_STOPPED, WAIT_MS));
	ASSERT_TRUE(decoder.waitDrained());
	EXPECT_FALSE(audioOnly);
	EXPECT_TRUE(isSuffixOf(decoder.bytes(), body));
	EXPECT_GE(decoder.size() + 511, body.size());
}

TEST_F(eOXLEEngineTest, AudioTypeCodeFollowsTheBoxPreference)
{
	eConfig::getInstance()->setKey("/elitedvb/audio/ac3default", 1);
	FifoDrain decoder(pvrPath());
	serve(streamOf(TsFactory::program(LONG_STREAM_PACKETS, VIDEO, AUDIO, 0xBD), FakeHttpStream::End::Silent));
	EXPECT_EQ(playStreamOf("/dvd/VTS_01_1.vob"), 0);
	EXPECT_EQ(Decoder::parms.audio_type, 3);
}

TEST_F(eOXLEEngineTest, ServerClosingMidStreamEndsTheStream)
{
	FifoDrain decoder(pvrPath());
	std::string body = TsFactory::program(LONG_STREAM_PACKETS, VIDEO, AUDIO);
	FakeHttpStream::Script script = streamOf(body);
	script.gapMs = 2;
	serve(script);
	start("/media/film.avi");
	ASSERT_EQ(status(), eOXLEEngine::STATUS_STARTED);
	ASSERT_TRUE(waitForStatus(eOXLEEngine::STATUS_STOPPED, WAIT_MS));
	ASSERT_TRUE(decoder.waitDrained());
	EXPECT_EQ(countCommand("VLC|STP|NOUP"), 1u);
	EXPECT_TRUE(isSuffixOf(decoder.bytes(), body));
}

TEST_F(eOXLEEngineTest, MissingDecoderDeviceStillEndsTheStream)
{
	unlink(pvrPath().c_str());
	serve(streamOf(TsFactory::program(LONG_STREAM_PACKETS, VIDEO, AUDIO)));
	start("/media/film.avi");
	ASSERT_EQ(status(), eOXLEEngine::STATUS_STARTED);
	ASSERT_TRUE(waitForStatus(eOXLEEngine::STATUS_STOPPED, WAIT_MS));
	EXPECT_EQ(countCommand("VLC|STP|NOUP"), 1u);
	EXPECT_EQ(receiver, pthread_t(0));
}

TEST_F(eOXLEEngineTest, VirtualDecoderPlaysTheProgramme)
{
	ASSERT_TRUE(VirtualDecoder::instance().start(pvrPath(), VirtualDecoder::Pacing::Fast));
	std::string body = TsFactory::program(LONG_STREAM_PACKETS, VIDEO, AUDIO);
	serve(streamOf(body));
	start("/media/film.avi");
	ASSERT_EQ(status(), eOXLEEngine::STATUS_STARTED);
	ASSERT_TRUE(waitForStatus(eOXLEEngine::STATUS_STOPPED, WAIT_MS));
	// The decoder reads on its own thread: give it the time to take the last bytes.
	for (int i = 0; i < 200 && VirtualDecoder::instance().stats().bytes + 511 < static_cast<long long>(body.size());
		 ++i)
		pumpGui(10);
	VirtualDecoder::Stats stats = VirtualDecoder::instance().stats();
	VirtualDecoder::instance().stop();
	EXPECT_GE(stats.bytes + 511, static_cast<long long>(body.size()));
	EXPECT_GT(stats.packets[VIDEO], 0);
	EXPECT_GT(stats.packets[AUDIO], 0);
}

TEST_F(eOXLEEngineTest, BufferSizeSetting)
{
	struct Case
	{
		bool present;
		int value;
		int initialBuffer;
	};
	const Case cases[] = {
		{false, 0, 4187136}, {true, 3, 4187136}, {true, 4, 1046784}, {true, 25, 6542400}, {true, 26, 4187136}};
	for (const Case& c : cases)
	{
		if (c.present)
			eConfig::getInstance()->setKey("/enigma/plugins/oxle/buffersize", c.value);
		else
			eConfig::getInstance()->delKey("/enigma/plugins/oxle/buffersize");
		sizeFor("/media/film.avi");
		EXPECT_EQ(INITIALBUFFER, c.initialBuffer) << c.value;
		EXPECT_TRUE(isStream);
		EXPECT_EQ(BLOCKSIZE, 261696);
	}
	eConfig::getInstance()->setKey("/enigma/plugins/oxle/buffersize", 4);
	sizeFor("/music/a.ogg");
	EXPECT_FALSE(isStream);
	EXPECT_EQ(INITIALBUFFER, 32000);
}

TEST(eOXLEEngineUnquote, DecodesUrlEscapes)
{
	struct Case
	{
		const char* text;
		std::string expected;
	};
	const Case cases[] = {
		{"a%20b+c", "a b c"},
		{"%41%42c", "ABc"},
		{"%4a", "J"},
		{"100%", "100%"},
		{"%4", std::string(1, '\x04')},
		{"", ""},
		{"plain/path.avi", "plain/path.avi"},
	};
	for (const Case& c : cases)
		EXPECT_EQ(eOXLEEngine::unquote(c.text), c.expected) << c.text;
}
