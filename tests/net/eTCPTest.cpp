#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <map>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "FakeServer.h"
#include "NetTestRoot.h"
#include "TempBoxRoot.h"
#include "eConfig.h"
#include "eTCP.h"

namespace
{
// Short enough to keep the suite quick, long enough for a loaded (or sanitized) machine.
const int TEST_CONNECT_TIMEOUT_MS = 500;
const int TEST_REPLY_SILENCE_MS = 1000;
const int WAIT_FOR_SERVER_MS = 5000;
const char LOOPBACK[] = "127.0.0.1";
// Loopback too, but nothing of these tests listens there.
const char OTHER_LOOPBACK[] = "127.0.0.2";

sockaddr_in loopbackAddress(uint16_t port)
{
	sockaddr_in address{};
	address.sin_family = AF_INET;
	address.sin_port = htons(port);
	address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
	return address;
}

// A port on 127.0.0.1 that nothing listens at.
uint16_t unusedPort()
{
	int sock = socket(AF_INET, SOCK_STREAM, 0);
	sockaddr_in address = loopbackAddress(0);
	socklen_t length = sizeof address;
	bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address);
	getsockname(sock, reinterpret_cast<sockaddr*>(&address), &length);
	close(sock);
	return ntohs(address.sin_port);
}

std::size_t countLines(const std::string& log, const std::string& text)
{
	std::size_t count = 0;
	for (std::size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
		++count;
	return count;
}

class eTCPChannel : public ::testing::Test
{
protected:
	void SetUp() override
	{
		eTCP::setTimeoutsForTesting(TEST_CONNECT_TIMEOUT_MS, TEST_REPLY_SILENCE_MS);
		useAddress(LOOPBACK);
	}
	void TearDown() override
	{
		eTCP::setTimeoutsForTesting(0, 0);
		useAddress(LOOPBACK);
	}

	static void useAddress(const char* ip) { eConfig::getInstance()->setKey(TempBoxRoot::SERVER_IP_KEY, ip); }
	static void usePort(uint16_t port)
	{
		eConfig::getInstance()->setKey(TempBoxRoot::SERVER_PORT_KEY, std::to_string(port).c_str());
	}
	static eString send(const char* group, const char* command, const char* argument, bool probe = false)
	{
		return eTCP::getInstance()->sendGetRequest(group, command, argument, "", "", probe);
	}
};

TEST_F(eTCPChannel, ExchangesOneRequestPerConnection)
{
	struct Case
	{
		std::vector<const char*> fields;
		std::string wire;
		std::string serverReply;
		std::string result;
	};
	const std::vector<Case> cases = {
		{{"VLC", "STA", "NO", "", ""}, "VLC|STA|NO", "+ok", "+ok"},
		{{"RQS", "SPO", "NO", "", ""}, "RQS|SPO|NO", "8080", "8080"},
		{{"VLC", "PAU", "NO", "", ""}, "VLC|PAU|NO", "x+ok", "+nok"},
		{{"VLC", "GFL", "/media/x|y", "", ""}, "VLC|GFL|/media/x|y", "x+ok<list/>", "x+ok<list/>"},
		{{"VLC", "PLY", "/m/a.avi", "0", "2"}, "VLC|PLY|/m/a.avi|0|2", "", ""},
		{{"X", "X", "X", "", "x"}, "X|X|X|x", "fine", "fine"},
		{{"RQS", "GCO", "NO", "", ""}, "RQS|GCO|NO", "<c v=\"50%d%s\"/>", "+ok"},
	};
	std::map<std::string, std::string> replies;
	for (const Case& c : cases)
		replies[c.wire] = c.serverReply;
	FakeServer::Options options;
	options.isComplete = [&replies](const std::string& bytes) { return replies.count(bytes) > 0; };
	FakeServer server(
		[&replies](const std::string& request) {
			auto found = replies.find(request);
			if (found == replies.end() || found->second.empty())
				return FakeServer::Reply::closeWithoutReply();
			return FakeServer::Reply::text(found->second);
		},
		options);
	ASSERT_TRUE(server.ok()) << server.error();
	usePort(server.port());

	std::vector<std::string> wires;
	for (const Case& c : cases)
	{
		const auto& f = c.fields;
		EXPECT_EQ(eTCP::getInstance()->sendGetRequest(f[0], f[1], f[2], f[3], f[4], false), c.result) << c.wire;
		wires.push_back(c.wire);
	}
	EXPECT_EQ(server.requests(), wires);
	EXPECT_EQ(server.connectionCount(), cases.size());
	EXPECT_EQ(netTestRoot().readFile("/var/tuxbox/config/oxle.xml"), "<c v=\"50%d%s\"/>");
}

TEST_F(eTCPChannel, SilentServerEndsInFailure)
{
	struct Case
	{
		const char* name;
		FakeServer::Reply reply;
	};
	FakeServer::Reply partThenSilence = FakeServer::Reply::text("<list><entry");
	partThenSilence.stallAfter = true;
	const std::vector<Case> cases = {
		{"never answers", FakeServer::Reply::stall()},
		{"answers part, then nothing", partThenSilence},
	};
	for (const Case& c : cases)
	{
		FakeServer server([&c](const std::string&) { return c.reply; });
		ASSERT_TRUE(server.ok()) << server.error();
		usePort(server.port());
		::testing::internal::CaptureStderr();
		eString result = send("VLC", "GFL", "/media");
		std::string log = ::testing::internal::GetCapturedStderr();
		EXPECT_EQ(result, "+nok") << c.name;
		EXPECT_NE(log.find("error in connection"), std::string::npos) << c.name;
		EXPECT_EQ(server.requests(), std::vector<std::string>{"VLC|GFL|/media"}) << c.name;
	}
}

TEST_F(eTCPChannel, SlowButSteadyReplyIsComplete)
{
	// About three seconds in all, far beyond the silence bound, never silent for long.
	const int pieces = 24;
	const int gapMs = TEST_REPLY_SILENCE_MS / 8;
	std::string listing;
	for (int i = 0; i < pieces; ++i)
		listing += "<entry name=\"file" + std::to_string(i) + "\"/>";
	const std::size_t pieceBytes = listing.size() / pieces + 1;
	FakeServer server([&](const std::string&) { return FakeServer::Reply::slowly(listing, pieceBytes, gapMs); });
	ASSERT_TRUE(server.ok()) << server.error();
	usePort(server.port());
	EXPECT_EQ(send("VLC", "GFL", "/media"), listing);
}

TEST_F(eTCPChannel, ReplySizeIsCapped)
{
	struct Case
	{
		std::size_t bytes;
		bool accepted;
	};
	const std::size_t mebibyte = 1024 * 1024;
	const std::vector<Case> cases = {
		{eTCP::MAX_REPLY_BYTES, true},
		{eTCP::MAX_REPLY_BYTES + 1, false},
		{33 * mebibyte, false},
	};
	for (const Case& c : cases)
	{
		const std::string reply(c.bytes, 'a');
		FakeServer::Options options;
		options.isComplete = [](const std::string& bytes) { return bytes == "VLC|GFL|/big"; };
		// Written from the test's own string: a copy of 32 MiB would cost a slow build
		// more than the silence bound.
		FakeServer server(
			[&reply](const std::string&) {
				FakeServer::Reply big;
				big.custom = [&reply](FakeServer::Connection& connection) { connection.write(reply); };
				return big;
			},
			options);
		ASSERT_TRUE(server.ok()) << server.error();
		usePort(server.port());
		eString result = send("VLC", "GFL", "/big");
		if (c.accepted)
			EXPECT_TRUE(result == reply) << c.bytes << " bytes gave " << result.size() << " bytes";
		else
			EXPECT_EQ(result, "+nok") << c.bytes << " bytes";
	}
}

TEST_F(eTCPChannel, ProbeWhereNothingListensFailsAfterItsTries)
{
	struct Case
	{
		const char* group;
		const char* command;
		std::size_t tries;
	};
	const std::vector<Case> cases = {
		{"SCAN", LOOPBACK, 10},
		{"X", "X", 100},
	};
	usePort(unusedPort());
	for (const Case& c : cases)
	{
		::testing::internal::CaptureStderr();
		eString result = eTCP::getInstance()->sendGetRequest(c.group, c.command, "X", "x", "x", true);
		std::string log = ::testing::internal::GetCapturedStderr();
		EXPECT_EQ(result, "+nok") << c.group;
		EXPECT_EQ(countLines(log, "nomma versuchen"), c.tries) << c.group;
		EXPECT_NE(log.find("nomma versuchen, übrig: 0"), std::string::npos) << c.group;
		EXPECT_NE(log.find("connect failed()"), std::string::npos) << c.group;
	}
}

TEST_F(eTCPChannel, ProbeConnectsAndSendsNothing)
{
	FakeServer server([](const std::string&) { return FakeServer::Reply::text("unexpected"); });
	ASSERT_TRUE(server.ok()) << server.error();
	usePort(server.port());

	EXPECT_EQ(send("X", "X", "X", true), "+ok");
	ASSERT_TRUE(server.waitForRequests(1, WAIT_FOR_SERVER_MS));

	// A scan takes its address from the command, not from the configuration ...
	useAddress(OTHER_LOOPBACK);
	EXPECT_EQ(send("SCAN", LOOPBACK, "NO", true), "+ok");
	ASSERT_TRUE(server.waitForRequests(2, WAIT_FOR_SERVER_MS));
	// ... every other probe from the configuration.
	EXPECT_EQ(send("X", "X", "X", true), "+nok");

	EXPECT_EQ(server.requests(), (std::vector<std::string>{"", ""}));
	EXPECT_EQ(server.connectionCount(), 2u);
}

TEST_F(eTCPChannel, UnreachableServerFails)
{
	usePort(unusedPort());
	::testing::internal::CaptureStderr();
	eString result = send("VLC", "STA", "NO");
	std::string log = ::testing::internal::GetCapturedStderr();
	EXPECT_EQ(result, "+nok");
	EXPECT_NE(log.find("connect failed()"), std::string::npos);
}

// A listener whose accept queue is full drops further handshakes: the connect hangs,
// as with a PC that swallows packets.
TEST_F(eTCPChannel, HangingConnectIsBounded)
{
	int listener = socket(AF_INET, SOCK_STREAM, 0);
	sockaddr_in address = loopbackAddress(0);
	socklen_t length = sizeof address;
	ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
	ASSERT_EQ(listen(listener, 0), 0);
	ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);

	const int maxFillers = 16;
	const int handshakeWaitMs = 200;
	std::vector<int> fillers;
	bool hanging = false;
	for (int i = 0; i < maxFillers && !hanging; ++i)
	{
		int filler = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
		connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
		fillers.push_back(filler);
		pollfd entry{filler, POLLOUT, 0};
		hanging = poll(&entry, 1, handshakeWaitMs) == 0;
	}
	if (hanging)
	{
		usePort(ntohs(address.sin_port));
		::testing::internal::CaptureStderr();
		eString result = send("VLC", "STA", "NO");
		std::string log = ::testing::internal::GetCapturedStderr();
		EXPECT_EQ(result, "+nok");
		EXPECT_NE(log.find("no connection within"), std::string::npos);
		EXPECT_NE(log.find("connect failed()"), std::string::npos);
	}
	for (int filler : fillers)
		close(filler);
	close(listener);
	if (!hanging)
		GTEST_SKIP() << "this kernel completes every loopback handshake";
}

TEST_F(eTCPChannel, PeerThatWentAwayCostsTheRequestNotTheProcess)
{
	int pair[2];
	ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
	close(pair[1]);
	// Without MSG_NOSIGNAL this write raises SIGPIPE and ends the test binary.
	EXPECT_EQ(eTCP::getInstance()->handling(pair[0], "VLC", "STP", "NOUP", "", ""), "+nok");
	close(pair[0]);
}

TEST_F(eTCPChannel, RequestLargerThanTheSocketBufferIsSentWhole)
{
	int pair[2];
	ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
	const int smallBuffer = 4096;
	setsockopt(pair[0], SOL_SOCKET, SO_SNDBUF, &smallBuffer, sizeof smallBuffer);
	const std::string argument(256 * 1024, 'p');
	const std::string wire = "VLC|GFL|" + argument;

	std::string received;
	std::thread peer([&] {
		char chunk[4096];
		while (received.size() < wire.size())
		{
			pollfd entry{pair[1], POLLIN, 0};
			if (poll(&entry, 1, WAIT_FOR_SERVER_MS) <= 0)
				break;
			ssize_t n = read(pair[1], chunk, sizeof chunk);
			if (n <= 0)
				break;
			received.append(chunk, static_cast<std::size_t>(n));
		}
		const char reply[] = "<list/>";
		ssize_t ignored = write(pair[1], reply, sizeof reply - 1);
		(void)ignored;
		close(pair[1]);
	});
	eString result = eTCP::getInstance()->handling(pair[0], "VLC", "GFL", argument, "", "");
	peer.join();
	close(pair[0]);
	EXPECT_EQ(result, "<list/>");
	EXPECT_TRUE(received == wire) << "peer got " << received.size() << " of " << wire.size() << " bytes";
}
} // namespace
