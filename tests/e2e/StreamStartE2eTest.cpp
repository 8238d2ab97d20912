// The first bytes of a stream, against scripted command and stream servers, so that
// the stream's head arrives exactly as the test says.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "E2eBox.h"
#include "FakeHttpStream.h"
#include "FakeServer.h"
#include "MediaTree.h"

namespace
{
const char* const mediaDir = "/media";
const char* const clipName = "clip.ts";
const int clipSeconds = 3;
const int tsPacketBytes = 188;
// Stream packets that travel in the same segment as the HTTP answer: more than the
// box's first read of 511 bytes can hold after the header.
const size_t packetsWithHeader = 4;
const int smallestBuffer = 4;
const char* const bufferSizeKey = "/enigma/plugins/oxle/buffersize";

std::string readFile(const std::string& path)
{
	std::ifstream in(path, std::ios::binary);
	std::ostringstream bytes;
	bytes << in.rdbuf();
	return bytes.str();
}

std::string listing()
{
	const std::string path = std::string(mediaDir) + "/" + clipName;
	return "<?xml version=\"1.0\"?><list>"
		   "<entry type=\"directory\" path=\"" +
		std::string(mediaDir) +
		"/..\" name=\"..\"/>"
		"<entry type=\"file\" path=\"" +
		path + "\" name=\"" + clipName +
		"\" size=\"1\" pic=\"film.png\" date=\"\"/>"
		"</list>";
}
} // namespace

// Stream bytes that come in the same read as the HTTP answer belong to the stream: the
// decoder must get every byte the server sent. Today the engine keeps nothing of its
// first read after the request, so the head of the stream (466 bytes here) is lost and
// what the decoder gets starts in the middle of a packet. With the real server this
// happens whenever the stream's first bytes reach the box before it reads the answer
// (seen in about one start of six on loopback). Disabled until the engine keeps them.
TEST(StreamStartE2eTest, StreamBytesArrivingWithTheAnswerReachTheDecoder)
{
	MediaTree media;
	ASSERT_TRUE(media.ok());
	std::string error;
	ASSERT_TRUE(media.addClip(clipName, MediaTree::Clip::Mpeg2Ts, clipSeconds, error)) << error;

	FakeHttpStream::Script script;
	script.body = readFile(media / clipName);
	ASSERT_EQ(script.body.size() % tsPacketBytes, 0u);
	script.headerLines = "Content-Type: video/mp2t\r\n";
	script.bodyWithHeader = packetsWithHeader * tsPacketBytes;
	FakeHttpStream stream(script);
	ASSERT_TRUE(stream.ok());

	const std::string streamPort = std::to_string(stream.port());
	FakeServer server([&](const std::string& request) {
		if (request == "RQS|SPO|NO")
			return FakeServer::Reply::text(streamPort);
		if (request == "RQS|STD|NO")
			return FakeServer::Reply::text(mediaDir);
		if (request == "RQS|CDD|NO")
			return FakeServer::Reply::text("");
		if (request == std::string("VLC|GFL|") + mediaDir)
			return FakeServer::Reply::text(listing());
		return FakeServer::Reply::text("+ok");
	});
	ASSERT_TRUE(server.ok()) << server.error();

	E2eBox box;
	box.serverPort(server.port());
	box.setInt(bufferSizeKey, smallestBuffer);
	box.keys("sleep 300\ndown\nok\nsleep 12000\nexit\n");
	BoxRun run = box.run();
	JournalQuery journal = box.journal();
	ASSERT_EQ(run.exitCode, 0) << run.output << journal.dump();
	ASSERT_NE(journal.find("decoder", 0, JournalQuery::opIs("set")), JournalQuery::npos) << journal.dump();

	const auto pvrs = journal.all("pvr");
	ASSERT_FALSE(pvrs.empty());
	EXPECT_EQ(pvrs.back().value("bytes", 0LL), (long long)(script.body.size())) << pvrs.back().dump();
}
