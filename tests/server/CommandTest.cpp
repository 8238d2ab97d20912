// The command port as the box uses it, against the whole server in this process.
#include <gtest/gtest.h>

#include <filesystem>

#include "server/CommandServer.h"
#include "server/PasswordGate.h"
#include "tests/server/ServerHarness.h"

namespace oxle::server {
namespace {

using test::RunningServer;

using Exchanges = std::initializer_list<std::pair<const char*, const char*>>;

// Each request gets its reply, whole or (whole false) in part; "~" stands for the shared root.
void expectReplies(const RunningServer& server, const std::string& root, bool whole, Exchanges exchanges) {
    const auto rooted = [&](std::string text) {
        for (std::size_t at; (at = text.find('~')) != std::string::npos;) text.replace(at, 1, root);
        return text;
    };
    for (const auto& [request, expected] : exchanges) {
        const std::string reply = server.command(rooted(request));
        const std::string want = rooted(expected);
        EXPECT_TRUE(whole ? reply == want : reply.find(want) != std::string::npos) << request << " -> " << reply;
    }
}

class CommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.ok());
        root = std::filesystem::canonical(dir.path()).string();
        test::place(dir, "clip.mp4", test::kClipMp4);
        test::place(dir, "odd\\name.mp3", test::kSongMp3);
        dir.file("broken.avi", "not a video at all");
        options = RunningServer::loopback(root);
    }
    TempDir dir;
    std::string root;
    Options options;
};

TEST_F(CommandTest, AnswersEveryCommandOrRefusesIt) {
    // No shell: the ';' reaches touch as part of the name.
    options.shutdownCommand = "touch " + (dir / "down;echo");
    RunningServer server(options);
    // HostileTest's password rows ask the rest.
    expectReplies(
        server, root, true,
        {{"RQS|PSW|anything", "+ok"}, {"VLC|STP|NOUP", "+ok"}, {"RQS|NFO|~", "Folder: ~\n"}, {"RQS|CLW|NO", "+ok"}});
    expectReplies(server, root, false,
                  {{"VLC|GFL|/etc", "<list/>"},
                   {"VLC|GTI|NO", "<length>0</length>"},
                   {"VLC|GFL|c:/..", "name=\"~\""},
                   {"RQS|NFO|~/clip.mp4", "H.264, 640x360"},
                   {"RQS|NFO|~/odd\\\\name.mp3", "MPEG Audio Layer 3"}});
    // Each for a reason of its own; no drive is configured.
    for (const char* refused : {"VLC|PLY|~/clip.mp4|zero|1", "VLC|PLY|~/clip.mp4|0|x", "VLC|PLY|/etc/passwd|0|1",
                                "VLC|PLY|~/broken.avi|0|1", "VLC|PLY|~|0|1", "VLC|PLY|dvdsimple://D:@1:01-|0|1",
                                "RQS|NFO|/etc/passwd", "RQS|NFO|~/broken.avi", "VLC|XYZ|NO", "RQS|XYZ|NO", "FOO|GTI|NO",
                                "VLC|REW|abc", "VLC|PAU|NO", "VLC|FFW|1", "VLC|NXT|NO", "VLC|PRV|NO"}) {
        expectReplies(server, root, true, {{refused, "+nok"}});
    }
    EXPECT_TRUE(std::filesystem::exists(dir / "down;echo"));
    // Nothing plays after refused plays, and a wrong request gets no stream either.
    for (const char* request : {"GET /dboxstream HTTP/1.0\r\n\r\n", "garbage\r\n\r\n"}) {
        EXPECT_TRUE(test::StreamClient(server.streamPort(), request).notFound()) << request;
    }
}

// A grant is for one address and lasts twelve hours; what it guards is HostileTest's.
TEST(PasswordTest, GrantsAreForOneAddressAndTwelveHours) {
    PasswordGate gate("s3cret");
    const auto start = PasswordGate::Clock::now();
    for (const char* wrong : {"wrong", "s3cre", "s3cret!"}) EXPECT_FALSE(gate.offer("127.0.0.2", wrong, start));
    EXPECT_FALSE(gate.allowed("127.0.0.2", start));
    ASSERT_TRUE(gate.offer("127.0.0.2", "s3cret", start));
    EXPECT_TRUE(gate.allowed("127.0.0.2", start + std::chrono::hours(12)));
    EXPECT_FALSE(gate.allowed("127.0.0.3", start)) << "another box must send it too";
    EXPECT_FALSE(gate.allowed("127.0.0.2", start + std::chrono::hours(12) + std::chrono::seconds(1)));
}

// Misbehaving clients are dropped unanswered; without ffmpeg all but playback is served.
TEST_F(CommandTest, BadClientsAndAMissingFfmpegCostOnlyWhatTheyMust) {
    options.ffmpeg = "/nonexistent/ffmpeg";
    options.ffprobe = "ffprobe";
    options.shutdownCommand = "false";
    RunningServer server(options);
    const std::pair<std::string, int> dropped[] = {
        {"", CommandServer::kIdleTimeoutMs + 2000},
        {"VLC|GFL|/" + std::string(CommandServer::kMaxRequestBytes + 1, 'a'), 3000}};
    for (const auto& [payload, waitMs] : dropped) {
        test::StreamClient client(server.commandPort(), payload);
        EXPECT_EQ(client.read(1, waitMs), 0u);
        EXPECT_TRUE(client.readToEnd(0)) << "closed within " << waitMs << " ms";
    }
    expectReplies(server, root, true,
                  {{"VLC|STA|NO", "+nok"}, {"RQS|CLW|NO", "+nok"}, {"VLC|PLY|~/clip.mp4|0|1", "+nok"}});
    expectReplies(server, root, false, {{"VLC|GFL|~", "name=\"clip.mp4\""}});
    EXPECT_TRUE(test::StreamClient(server.streamPort()).notFound());
}

}  // namespace
}  // namespace oxle::server
