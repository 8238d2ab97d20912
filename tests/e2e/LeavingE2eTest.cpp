// Leaving the plugin while the server is connected, against a scripted server that
// records every request.
#include <gtest/gtest.h>

#include "E2eBox.h"
#include "FakeServer.h"

namespace
{
const char* const startDir = "C:/media";
const char* const lastPathKey = "/enigma/plugins/oxle/lastPath";
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
	const std::vector<std::string> expected = {"", "VLC|STA|NO", "RQS|SIP|NO", "RQS|SEP|NO", "RQS|SPO|NO",
		"RQS|STD|NO", "RQS|CDD|NO", std::string("VLC|GFL|") + startDir, "VLC|STP|NOUP"};
	EXPECT_EQ(server.requests(), expected);

	// The last listed path is the start folder (the parent entry's path less "/..").
	const size_t saved = journal.find("config", 0,
		[](const nlohmann::json& j) { return j.value("key", "") == lastPathKey; });
	ASSERT_NE(saved, JournalQuery::npos) << journal.dump();
	EXPECT_EQ(journal[saved].value("value", ""), startDir);
	EXPECT_NE(journal.find("config_flush", saved), JournalQuery::npos) << "the store is written out";
	const size_t quit = journal.find("quit", saved);
	ASSERT_NE(quit, JournalQuery::npos);
	EXPECT_EQ(journal[quit].value("code", -1), 0);
}
