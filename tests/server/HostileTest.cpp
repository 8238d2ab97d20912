// The real server against slow, greedy, guessing and unwelcome clients on loopback addresses.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "MonotonicMs.h"
#include "ServerProcess.h"
#include "server/AllowList.h"
#include "server/CommandHandler.h"
#include "server/CommandServer.h"
#include "server/Listing.h"
#include "server/PasswordGate.h"
#include "server/StreamServer.h"
#include "tests/server/ServerHarness.h"

namespace oxle::server {
namespace {

constexpr const char* kBox = "127.0.0.1";
constexpr const char* kNeighbour = "127.0.0.2";
constexpr const char* kStranger = "127.0.0.3";
// "Within 1 s" on an idle machine; a loaded 2-core one gets three.
constexpr int kAnswerMs = 3000;
// What the box gives a whole reply: a status after a play request may wait for the probe.
constexpr int kBoxReplyMs = 10000;
constexpr const char* kTimedOut = "<time-out>";
constexpr const char* kStreamRequest = "GET /dboxstream HTTP/1.0\r\n\r\n";
constexpr const char* kPassword = "s3cret";

// What came from `source`'s exchange until the server closed, or with kTimedOut.
std::string ask(std::uint16_t port, const std::string& request, const char* source, int timeoutMs = kAnswerMs) {
    test::StreamClient client(port, request, source);
    return client.readToEnd(timeoutMs) ? client.data() : client.data() + kTimedOut;
}

long rssKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    const std::string text((std::istreambuf_iterator<char>(status)), std::istreambuf_iterator<char>());
    const std::size_t at = text.find("VmRSS:");
    return at == std::string::npos ? 0 : std::atol(text.c_str() + at + std::strlen("VmRSS:"));
}

// Log lines that name `address`, but for the request lines of --verbose.
std::size_t linesNaming(const ServerProcess& server, const std::string& address) {
    std::istringstream log(server.log());
    std::size_t count = 0;
    for (std::string line; std::getline(log, line);) {
        const bool request = line.find("\" -> ") != std::string::npos;
        count += line.find(address) != std::string::npos && !request ? 1 : 0;
    }
    return count;
}

class HostileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.ok());
        root = std::filesystem::canonical(dir.path()).string();
    }
    TempDir dir;
    std::string root;
};

// Greedy clients that never read a big listing are dropped, and memory stays bounded.
TEST_F(HostileTest, ClientsThatNeverReadAreDropped) {
    // Long names make some 6 MB of listing, more than the kernel buffers for a socket.
    constexpr int kEntries = 10000;
    constexpr std::size_t kPaddingBytes = 240;
    constexpr std::size_t kGreedy = CommandServer::kLimits.total + CommandServer::kLimits.perAddress;
    constexpr int kPollMs = 100;
    constexpr int kSampleMs = 10;
    constexpr int kTinyReceiveBuffer = 4096;
    // Eight listings at once, with room; the 64 of old went past a gigabyte in all.
    constexpr long kListingsAtMost = 2 * CommandServer::kLimits.perAddress;
    constexpr int kDropWaitMs = CommandServer::kReplyTimeoutMs + 50000;
    const std::string big = dir.subdir("big");
    const std::string padding(kPaddingBytes, 'x');
    for (int i = 0; i < kEntries; ++i) std::ofstream(big + "/" + std::to_string(i) + padding + ".mp4");
    ServerProcess server({"--root", root});
    ASSERT_TRUE(server.start()) << server.error();
    // What one listing costs the server in this build: sanitizers multiply it.
    const long idleKb = rssKb(server.pid());
    long peakKb = idleKb;
    std::atomic<bool> listed{false};
    std::thread reader([&] { listed = ask(server.commandPort(), "VLC|GFL|" + big, kBox, kDropWaitMs).size() > 0; });
    for (; !listed; std::this_thread::sleep_for(std::chrono::milliseconds(kSampleMs))) {
        peakKb = std::max(peakKb, rssKb(server.pid()));
    }
    reader.join();
    const long oneListingKb = peakKb - idleKb;
    std::vector<std::unique_ptr<test::StreamClient>> greedy;
    for (std::size_t i = 0; i < kGreedy; ++i) {
        greedy.push_back(
            std::make_unique<test::StreamClient>(server.commandPort(), "VLC|GFL|" + big, kBox, kTinyReceiveBuffer));
        ASSERT_GE(greedy.back()->fd(), 0);
    }
    EXPECT_EQ(ask(server.commandPort(), "RQS|STD|NO", kNeighbour), root);
    std::size_t dropped = 0;
    for (const long long deadline = monotonicMs() + kDropWaitMs; dropped < kGreedy && monotonicMs() < deadline;) {
        std::vector<pollfd> fds;
        for (const auto& client : greedy) fds.push_back({client->fd(), POLLRDHUP, 0});
        ::poll(fds.data(), fds.size(), kPollMs);
        dropped = 0;
        for (const pollfd& fd : fds) dropped += (fd.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0 ? 1 : 0;
        peakKb = std::max(peakKb, rssKb(server.pid()));
    }
    EXPECT_EQ(dropped, kGreedy) << "every client that does not read is let go";
    EXPECT_LT(peakKb - idleKb, kListingsAtMost * oneListingKb);
    greedy.clear();
    EXPECT_EQ(ask(server.commandPort(), "RQS|STD|NO", kBox), root) << "its connections are counted no more";
}

// Idle connections of one address hold only its share of the stream port, so a neighbour
// still gets its stream; the refusals cost the log a line, not one each.
TEST_F(HostileTest, IdleStreamConnectionsOfOneAddressLeaveOthersServed) {
    const std::string clip = test::place(dir, "clip.ts", test::kClipTs);
    ServerProcess server({"--root", root});
    ASSERT_TRUE(server.start()) << server.error();
    std::vector<std::unique_ptr<test::StreamClient>> idle;
    for (std::size_t i = 0; i < StreamServer::kLimits.total + 4; ++i) {
        idle.push_back(std::make_unique<test::StreamClient>(server.streamPort(), "", kBox));
    }
    ASSERT_EQ(ask(server.commandPort(), "VLC|PLY|" + clip + "|0|1", kNeighbour), "+ok");
    test::StreamClient neighbour(server.streamPort(), kStreamRequest, kNeighbour);
    EXPECT_TRUE(neighbour.streaming());
    EXPECT_LE(linesNaming(server, kBox), 2u) << server.log();
}

// What the box asks before it can send the password stays open. Rows share one session.
TEST_F(HostileTest, PasswordGuardsMediaAndControls) {
    const std::string film = test::place(dir, "film1.mp4", test::kLongMp4);
    test::place(dir, "film2.mp4", test::kLongMp4);  // a next file, so that a skip could succeed
    ServerProcess server({"--root", root, "--media-dir", root, "--cd-drive", "D:", "--password", kPassword,
                          "--shutdown-command", "true"});
    ASSERT_TRUE(server.start()) << server.error();
    ASSERT_EQ(ask(server.commandPort(), std::string("RQS|PSW|") + kPassword, kBox), "+ok");
    const std::string empty = Listing::emptyDocument();
    struct Row {
        std::string request;
        std::string refused;  // the whole reply without the password
        std::string granted;  // a part of the reply with it
    };
    const Row rows[] = {
        {"VLC|GFL|" + root, empty, "film2.mp4"},
        {"VLC|MDI|NO", empty, "film2.mp4"},
        {"RQS|NFO|" + film, "+nok", "Length: 0:02:30"},
        {"VLC|PLY|" + film + "|0|1", "+nok", "+ok"},
        {"VLC|GTI|NO", "+nok", "<length>150</length>"},
        {"VLC|PAU|NO", "+nok", "+ok"},
        // Refused only: granted, each would restart the transcoder.
        {"VLC|FFW|1", "+nok", ""},
        {"VLC|REW|1", "+nok", ""},
        {"VLC|NXT|NO", "+nok", ""},
        {"VLC|PRV|NO", "+nok", ""},
        {"VLC|STP|NO", "+nok", "+ok"},
        {"RQS|CLW|NO", "+nok", "+ok"},
        {"RQS|SIP|NO", kBox, kBox},
        {"RQS|SEP|NO", CommandHandler::description(), "oxle_x86"},
        {"RQS|SPO|NO", std::to_string(server.streamPort()), std::to_string(server.streamPort())},
        {"VLC|STA|NO", "+ok", "+ok"},
        {"RQS|STD|NO", root, root},
        {"RQS|CDD|NO", "D:", "D:"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ask(server.commandPort(), row.request, kNeighbour), row.refused) << row.request;
        if (row.granted.empty()) continue;
        const std::string reply = ask(server.commandPort(), row.request, kBox, kBoxReplyMs);
        EXPECT_NE(reply.find(row.granted), std::string::npos) << row.request << " -> " << reply;
    }
    EXPECT_EQ(ask(server.streamPort(), kStreamRequest, kNeighbour), HttpRequest::kForbidden);
}

// A guessing address gets a few tries a minute, even for the right one; others get in.
TEST_F(HostileTest, GuessingPasswordsIsSlowedPerAddress) {
    constexpr int kCompared = PasswordGate::kFreeFailures + PasswordGate::kTriesPerWindow;
    constexpr int kGuesses = kCompared * 3;
    ServerProcess server({"--root", root, "--password", kPassword});
    ASSERT_TRUE(server.start()) << server.error();
    for (int i = 0; i < kGuesses; ++i) {
        ASSERT_EQ(ask(server.commandPort(), "RQS|PSW|guess" + std::to_string(i), kStranger), "+nok");
    }
    const std::string right = std::string("RQS|PSW|") + kPassword;
    EXPECT_EQ(ask(server.commandPort(), right, kStranger), "+nok");
    EXPECT_EQ(ask(server.commandPort(), right, kNeighbour), "+ok");
    // A line for each compared guess, one as the limit begins, one for the refusals.
    EXPECT_LE(linesNaming(server, kStranger), static_cast<std::size_t>(kCompared + 2)) << server.log();
}

// --allow: bad text ends the start; clients outside are closed unanswered and logged once.
TEST_F(HostileTest, OnlyAllowedNetworksAreAnswered) {
    struct Network {
        const char* text;
        bool valid;
        std::vector<const char*> inside;
        std::vector<const char*> outside;
    };
    const Network networks[] = {
        {"127.0.0.0/31", true, {"127.0.0.0", "127.0.0.1"}, {"127.0.0.2", "126.255.255.255"}},
        {"10.1.2.3/8", true, {"10.0.0.0", "10.255.255.255"}, {"11.0.0.0", "9.255.255.255"}},
        {"127.0.0.2", true, {"127.0.0.2"}, {"127.0.0.3", "127.0.0.1"}},
        {"0.0.0.0/0", true, {"0.0.0.0", "255.255.255.255"}, {}},
        {"127.0.0.1/33", false, {}, {}},
        {"127.0.0/8", false, {}, {}},
        {"127.0.0.1/", false, {}, {}},
        {"127.0.0.1/-1", false, {}, {}},
    };
    for (const Network& network : networks) {
        SCOPED_TRACE(network.text);
        Options options;
        std::string message;
        EXPECT_EQ(test::parse({"--root", root, "--allow", network.text}, options, message), network.valid ? -1 : 2);
        EXPECT_EQ(message.find(network.text) != std::string::npos, !network.valid) << message;
        AllowList list;
        std::string why;
        if (!network.valid || !list.add(network.text, why)) continue;
        for (const bool inside : {true, false}) {
            for (const char* address : inside ? network.inside : network.outside) {
                in_addr parsed{};
                ASSERT_EQ(::inet_pton(AF_INET, address, &parsed), 1);
                EXPECT_EQ(list.allows(ntohl(parsed.s_addr)), inside) << address;
            }
        }
    }
    ServerProcess server({"--root", root, "--allow", "127.0.0.0/31", "--allow", kNeighbour});
    ASSERT_TRUE(server.start()) << server.error();
    const std::string port = std::to_string(server.streamPort());
    EXPECT_EQ(ask(server.commandPort(), "RQS|SPO|NO", kBox), port);
    EXPECT_EQ(ask(server.commandPort(), "RQS|SPO|NO", kNeighbour), port);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(ask(server.commandPort(), "RQS|SPO|NO", kStranger), "");
        EXPECT_EQ(ask(server.streamPort(), kStreamRequest, kStranger), "");
    }
    EXPECT_EQ(linesNaming(server, kStranger), 2u) << "one line a port: " << server.log();
}

// A FIFO is no media: ffprobe would wait on it for a writer until its own time-out.
TEST_F(HostileTest, FifoIsRefusedAtOnce) {
    const std::string fifo = dir / "pipe.mp4";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ServerProcess server({"--root", root});
    ASSERT_TRUE(server.start()) << server.error();
    for (const std::string& request : {"VLC|PLY|" + fifo + "|0|1", "RQS|NFO|" + fifo}) {
        EXPECT_EQ(ask(server.commandPort(), request, kBox), "+nok") << request;
    }
}

}  // namespace
}  // namespace oxle::server
