// The command channel against scripted servers on loopback: bounded waits, a capped
// reply, probes, and peers that go away.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <tuple>

#include "EngineTestSupport.h"
#include "TempBoxRoot.h"
#include "eConfig.h"
#include "eReplyBuffer.h"
#include "eTCP.h"

namespace
{
const int WAIT_FOR_SERVER_MS = 5000;
// Loopback too, but nothing of these tests listens there.
const char OTHER_LOOPBACK[] = "127.0.0.2";

size_t count(const std::string& log, const std::string& text)
{
	size_t n = 0;
	for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
		++n;
	return n;
}

class Channel : public ::testing::Test
{
protected:
	void TearDown() override { useAddress(TempBoxRoot::LOOPBACK); }

	static void useAddress(const char* ip) { eConfig::getInstance()->setKey(TempBoxRoot::SERVER_IP_KEY, ip); }
	static eString send(const char* group, const char* command, const char* argument, bool probe = false)
	{
		return eTCP::getInstance()->sendGetRequest(group, command, argument, "", "", probe);
	}
	// What send gives, and its diagnostics.
	static eString sendLogged(std::string& log, const char* group, const char* command, bool probe)
	{
		::testing::internal::CaptureStderr();
		eString result = eTCP::getInstance()->sendGetRequest(group, command, "X", "x", "x", probe);
		log = ::testing::internal::GetCapturedStderr();
		return result;
	}
};

TEST_F(Channel, ReplyIsBoundedBySilenceAndSizeButNotByItsLengthAndAPeerGoneCostsOnlyIt)
{
	// Without MSG_NOSIGNAL the write to a peer that is gone raises SIGPIPE and ends the box.
	int pair[2];
	ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
	UniqueFd ours(pair[0]);
	close(pair[1]);
	EXPECT_EQ(eTCP::getInstance()->handling(ours.get(), "VLC", "STP", "NOUP", "", ""), "+nok");
	// Growing blocks keep a reply whole and in order however it is cut on the way.
	std::string listing;
	for (int i = 0; listing.size() < 3 * eReplyBuffer::BLOCK_BYTES + 17; ++i)
		listing += "<entry name=\"file" + std::to_string(i) + "\"/>";
	const std::string small = listing.substr(0, 20000);
	const std::string largest(eTCP::MAX_REPLY_BYTES, 'a');
	const std::string tooLarge = largest + "a";
	// Written from these strings: a copy of 32 MiB would cost a slow build more than the
	// silence bound.
	const auto whole = [](const std::string& bytes) {
		FakeServer::Reply reply;
		reply.custom = [&bytes](FakeServer::Connection& connection) { connection.write(bytes); };
		return reply;
	};
	// The rows about size wait as long as the box does: under a thread sanitizer on a busy
	// machine 32 MiB once stalled for more than the test's silence bound.
	const int sizeRowSilenceMs = 10 * TEST_REPLY_SILENCE_MS;
	// what, reply, expected, silence bound
	const std::tuple<const char*, FakeServer::Reply, std::string, int> cases[] = {
		{"never answers", FakeServer::Reply::stall(), "+nok", TEST_REPLY_SILENCE_MS},
		{"slow but steady", FakeServer::Reply::slowly(small, small.size() / 8 + 1, TEST_REPLY_SILENCE_MS / 4), small,
			TEST_REPLY_SILENCE_MS},
		{"many small pieces", FakeServer::Reply::slowly(small, 97, 1), small, TEST_REPLY_SILENCE_MS},
		{"one large block", whole(listing), listing, sizeRowSilenceMs},
		{"the largest reply", whole(largest), largest, sizeRowSilenceMs},
		{"one byte more", whole(tooLarge), "+nok", sizeRowSilenceMs},
	};
	for (const auto& [what, reply, expected, silenceMs] : cases)
	{
		eTCP::setTimeoutsForTesting(TEST_CONNECT_TIMEOUT_MS, silenceMs);
		FakeServer::Options options;
		options.isComplete = [](const std::string& bytes) { return bytes == "VLC|GFL|/media"; };
		FakeServer server([&reply = reply](const std::string&) { return reply; }, options);
		ASSERT_TRUE(server.ok()) << server.error();
		HostTestEnv::useServer(server.port());
		const eString result = send("VLC", "GFL", "/media");
		EXPECT_TRUE(result == expected) << what << ": " << result.size() << " bytes";
		// One connection for the request, and the request as the wire has it.
		EXPECT_EQ(server.requests(), std::vector<std::string>{"VLC|GFL|/media"}) << what;
		EXPECT_EQ(server.connectionCount(), 1u) << what;
	}
}

TEST_F(Channel, ProbesConnectAndSendNothingAndTryAsOftenAsTheirKindAllows)
{
	FakeServer server([](const std::string&) { return FakeServer::Reply::text("unexpected"); });
	ASSERT_TRUE(server.ok()) << server.error();
	HostTestEnv::useServer(server.port());
	EXPECT_EQ(send("X", "X", "X", true), "+ok");
	ASSERT_TRUE(server.waitForRequests(1, WAIT_FOR_SERVER_MS));
	// A scan takes its address from the command, every other probe from the store.
	useAddress(OTHER_LOOPBACK);
	EXPECT_EQ(send("SCAN", TempBoxRoot::LOOPBACK, "NO", true), "+ok");
	ASSERT_TRUE(server.waitForRequests(2, WAIT_FOR_SERVER_MS));
	EXPECT_EQ(server.requests(), (std::vector<std::string>{"", ""}));
	EXPECT_EQ(server.connectionCount(), 2u);
	// Nothing listens at the other address: group, command, probe, tries.
	const std::tuple<const char*, const char*, bool, size_t> cases[] = {
		{"SCAN", OTHER_LOOPBACK, true, 10}, {"X", "X", true, 100}, {"VLC", "STA", false, 0}};
	for (const auto& [group, command, probe, tries] : cases)
	{
		std::string log;
		EXPECT_EQ(sendLogged(log, group, command, probe), "+nok") << group;
		EXPECT_EQ(count(log, "nomma versuchen"), tries) << group;
		EXPECT_EQ(count(log, "connect failed()"), 1u) << group;
	}
}

// A listener whose accept queue is full drops further handshakes: the connect hangs, as
// with a PC that swallows packets.
TEST_F(Channel, HangingConnectIsBounded)
{
	UniqueFd listener(socket(AF_INET, SOCK_STREAM, 0));
	sockaddr_in address{};
	address.sin_family = AF_INET;
	address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
	socklen_t length = sizeof address;
	ASSERT_EQ(bind(listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
	ASSERT_EQ(listen(listener.get(), 0), 0);
	ASSERT_EQ(getsockname(listener.get(), reinterpret_cast<sockaddr*>(&address), &length), 0);
	std::vector<UniqueFd> fillers;
	bool hanging = false;
	for (int i = 0; i < 16 && !hanging; ++i)
	{
		fillers.emplace_back(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
		connect(fillers.back().get(), reinterpret_cast<sockaddr*>(&address), sizeof address);
		pollfd entry{fillers.back().get(), POLLOUT, 0};
		hanging = poll(&entry, 1, 200) == 0;
	}
	if (!hanging)
		GTEST_SKIP() << "this kernel completes every loopback handshake";
	HostTestEnv::useServer(ntohs(address.sin_port));
	std::string log;
	EXPECT_EQ(sendLogged(log, "VLC", "STA", false), "+nok");
	EXPECT_NE(log.find("no connection within"), std::string::npos) << log;
}
} // namespace
