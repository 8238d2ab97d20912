// Leaving the plugin while the server is connected, against a scripted server that
// records every request.
#include <gtest/gtest.h>

#include "E2eBox.h"
#include "FakeServer.h"
#include "MediaTree.h"
#include "ServerProcess.h"

namespace
{
const char* const startDir = "C:/media";
const char* const lastPathKey = "/enigma/plugins/oxle/lastPath";
const int clipSeconds = 3;
const int smallestBuffer = 4;
const char* const bufferSizeKey = "/enigma/plugins/oxle/buffersize";
// The listing of the start folder: its parent and one film.
const char* const startListing = "<?xml version=\"1.0\"?><list>"
								 "<entry type=\"directory\" path=\"C:/media/..\" name=\"..\"/>"
								 "<entry type=\"file\" path=\"C:/media/film.avi\" name=\"film.avi\" size=\"1048576\" "
								 "pic=\"film.png\" date=\"2024-01-01\"/>"
								 "</list>";

FakeServer::Reply answer(const std::string& request)
{
	if (request == "RQS|STD|NO")
		return FakeServer::Reply::text(startDir);
	if (request == "RQS|CDD|NO")
		return FakeServer::Reply::text("D:");
	if (request == std::string("VLC|GFL|") + startDir)
		return FakeServer::Reply::text(startListing);
	return FakeServer::Reply::text("+ok");
}
} // namespace

TEST(LeavingE2eTest, ExitWhileConnectedStopsTheServerAndKeepsTheLastPath)
{
	FakeServer server(answer);
	ASSERT_TRUE(server.ok()) << server.error();
	E2eBox box;
	box.serverPort(server.port());
	box.keys("sleep 300\nexit\n");
	BoxRun run = box.run();
	JournalQuery journal = box.journal();
	ASSERT_EQ(run.exitCode, 0) << run.output << journal.dump();

	// The whole conversation: the connect-only probe (empty), the start-up questions,
	// the first listing, and the stop on the way out.
	const std::vector<std::string> expected = {"", "VLC|STA|NO", "RQS|SIP|NO", "RQS|SEP|NO", "RQS|SPO|NO", "RQS|STD|NO",
		"RQS|CDD|NO", std::string("VLC|GFL|") + startDir, "VLC|STP|NOUP"};
	EXPECT_EQ(server.requests(), expected);

	// The last listed path is the start folder (the parent entry's path less "/..").
	const size_t saved =
		journal.find("config", 0, [](const nlohmann::json& j) { return j.value("key", "") == lastPathKey; });
	ASSERT_NE(saved, JournalQuery::npos) << journal.dump();
	EXPECT_EQ(journal[saved].value("value", ""), startDir);
	EXPECT_NE(journal.find("config_flush", saved), JournalQuery::npos) << "the store is written out";
	const size_t quit = journal.find("quit", saved);
	ASSERT_NE(quit, JournalQuery::npos);
	EXPECT_EQ(journal[quit].value("code", -1), 0);
}

// The TV service that ran when the plugin opened is played again when it closes, also
// when a file was started before the plugin's first timer-list check (one second after
// opening) had saved that service. Today the engine stops the service for the stream
// first, the check then finds nothing playing, and leaving restores nothing: the
// viewer is left without television. Disabled until the hand-over no longer depends
// on that order.
TEST(LeavingE2eTest, TheTvServiceComesBackAfterAPlaybackStartedAtOnce)
{
	MediaTree media;
	ASSERT_TRUE(media.ok());
	std::string error;
	ASSERT_TRUE(media.addClip("clip.ts", MediaTree::Clip::Mpeg2Ts, clipSeconds, error)) << error;
	ServerProcess server({"--root", media.path()});
	ASSERT_TRUE(server.start()) << server.error();

	E2eBox box;
	box.serverPort(server.commandPort());
	box.setInt(bufferSizeKey, smallestBuffer);
	// OK at once, well within the first second; Exit once the clip has ended.
	box.keys("down\nok\nsleep 12000\nexit\n");
	BoxRun run = box.run();
	JournalQuery journal = box.journal();
	ASSERT_EQ(run.exitCode, 0) << run.output << journal.dump();

	// The first stop names the service that ran before the plugin took over.
	const size_t firstStop = journal.find("service", 0, JournalQuery::opIs("stop"));
	ASSERT_NE(firstStop, JournalQuery::npos) << journal.dump();
	const std::string tvService = journal[firstStop].value("ref", "");
	ASSERT_FALSE(tvService.empty()) << journal.dump();
	const size_t replay = journal.find("service", firstStop, JournalQuery::opIs("play"));
	ASSERT_NE(replay, JournalQuery::npos) << "the TV service was not played again\n" << journal.dump();
	EXPECT_EQ(journal[replay].value("ref", ""), tvService);
}
