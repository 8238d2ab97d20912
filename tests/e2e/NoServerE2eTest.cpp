// The box with nobody listening at the configured server port.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "E2eBox.h"

namespace
{
const char* const noConnectionTitle = "OXLE: NO CONNECTION TO OXLE_X86 - PLEASE CHECK";
const char* const noConnectionRow = "NO CONNECTION TO OXLE_X86 SERVER AVAILABLE";
const char* const noServerStatusStart = "NO SERVER CONNECTION, please check your Settings";
const size_t noConnectionRows = 21;

// A loopback port that nothing listens on: bound once by us, then given back.
uint16_t closedLoopbackPort()
{
	int s = socket(AF_INET, SOCK_STREAM, 0);
	sockaddr_in a{};
	a.sin_family = AF_INET;
	a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
	socklen_t len = sizeof a;
	uint16_t port = 0;
	if (s >= 0 && bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
		getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
		port = ntohs(a.sin_port);
	if (s >= 0)
		close(s);
	return port;
}
} // namespace

TEST(NoServerE2eTest, ShowsTheNoConnectionListAndLeavesWithCodeZero)
{
	const uint16_t port = closedLoopbackPort();
	ASSERT_NE(port, 0);
	E2eBox box;
	box.serverPort(port);
	// OK on a message row does nothing; Exit leaves.
	box.keys("sleep 500\ndown\nok\nsleep 300\nexit\n");
	BoxRun run = box.run();
	JournalQuery journal = box.journal();
	ASSERT_EQ(run.exitCode, 0) << run.output << journal.dump();

	EXPECT_NE(journal.find("title", 0, JournalQuery::textIs(noConnectionTitle)), JournalQuery::npos) << journal.dump();
	const auto lists = journal.all("list");
	ASSERT_FALSE(lists.empty()) << journal.dump();
	const nlohmann::json rows = lists.back()["rows"];
	ASSERT_EQ(rows.size(), noConnectionRows) << rows.dump();
	for (const nlohmann::json& row : rows)
		EXPECT_EQ(row.get<std::string>(), noConnectionRow);

	const auto statuses = journal.texts("status");
	ASSERT_FALSE(statuses.empty()) << journal.dump();
	EXPECT_EQ(statuses.back().rfind(noServerStatusStart, 0), 0u) << statuses.back();

	// OK on the message row neither listed nor played anything.
	const size_t ok = journal.find("key", 0, [](const nlohmann::json& j) { return j.value("key", "") == "ok"; });
	ASSERT_NE(ok, JournalQuery::npos);
	EXPECT_EQ(journal.find("title", ok), JournalQuery::npos) << journal.dump();
	EXPECT_EQ(journal.find("decoder", 0), JournalQuery::npos) << journal.dump();

	// Not connected: no last path is kept.
	EXPECT_EQ(journal.find("config", 0,
				  [](const nlohmann::json& j) { return j.value("key", "") == "/enigma/plugins/oxle/lastPath"; }),
		JournalQuery::npos)
		<< journal.dump();
	const size_t quit = journal.find("quit");
	ASSERT_NE(quit, JournalQuery::npos) << journal.dump();
	EXPECT_EQ(journal[quit].value("code", -1), 0);
}
