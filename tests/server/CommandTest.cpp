// The command port as the box uses it, against the whole server in this process.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "server/CommandServer.h"
#include "server/Listing.h"
#include "server/PasswordGate.h"
#include "tests/server/ServerHarness.h"

namespace oxle::server {
namespace {

using test::RunningServer;

// The reply a request must get: all of it, or a part.
struct Exchange {
    std::string request;
    std::string reply;
    bool whole = true;
};

void expectReplies(const RunningServer& server, const std::vector<Exchange>& exchanges) {
    for (const Exchange& e : exchanges) {
        const std::string reply = server.command(e.request);
        if (e.whole) {
            EXPECT_EQ(reply, e.reply) << e.request;
        } else {
            EXPECT_NE(reply.find(e.reply), std::string::npos) << e.request << " -> " << reply;
        }
    }
}

const std::string kEmpty = Listing::emptyDocument();

class CommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.ok() && extra.ok());
        root = std::filesystem::canonical(dir.path()).string();
        clip = test::place(dir, "clip.mp4", test::kClipMp4);
        test::place(dir, "odd\\name.mp3", test::kSongMp3);
        dir.file("broken.avi", "not a video at all");
        extra.file("show.mkv", "x");
    }

    TempDir dir;
    TempDir extra;
    std::string root;
    std::string clip;
};

TEST_F(CommandTest, AnswersEveryCommandOrRefusesIt) {
    Options options = RunningServer::loopback(root);
    options.mediaDir = extra.path();
    options.cdDrive = "/dev/sr0";
    // No shell: the ';' reaches touch as part of the name.
    options.shutdownCommand = "touch " + (dir / "down;echo");
    RunningServer server(options);
    expectReplies(server, {
                              {"RQS|SPO|NO", std::to_string(server.streamPort())},
                              {"RQS|STD|NO", root},
                              {"RQS|CDD|NO", "/dev/sr0"},
                              {"RQS|SIP|NO", "127.0.0.1"},
                              {"RQS|SEP|NO", "oxle_x86", false},
                              {"RQS|PSW|anything", "+ok"},
                              {"VLC|STA|NO", "+ok"},
                              {"VLC|PLY|" + clip + "|zero|1", "+nok"},
                              {"VLC|PLY|" + clip + "|0|x", "+nok"},
                              {"VLC|PLY|/etc/passwd|0|1", "+nok"},
                              {"VLC|PLY|" + root + "/../../etc/passwd|0|1", "+nok"},
                              {"VLC|PLY|" + root + "/missing.avi|0|1", "+nok"},
                              {"VLC|PLY|" + root + "/broken.avi|0|1", "+nok"},
                              {"VLC|PLY|" + root + "|0|1", "+nok"},
                              // Disc playback is not there yet.
                              {"VLC|PLY|dvdsimple://D:@1:01-|0|1", "+nok"},
                              {"VLC|PLY|vcdx:///dev/sr0@1:05-|0|1", "+nok"},
                              {"VLC|GTI|NO", "<time>0</time>\n<length>0</length>\n<position>0</position>", false},
                              {"VLC|STP|NOUP", "+ok"},
                              {"VLC|STP|NO", "+ok"},
                              {"VLC|GFL|" + root, "path=\"" + root + "/..\" name=\"..\"", false},
                              {"VLC|GFL|" + root, "name=\"clip.mp4\"", false},
                              {"VLC|GFL|c:/..", "name=\"" + root + "\"", false},
                              {"VLC|GFL|" + root + "/../..", kEmpty},
                              {"VLC|GFL|/etc", kEmpty},
                              {"VLC|MDI|NO", "name=\"show.mkv\"", false},
                              {"RQS|NFO|" + clip, "Length: 0:00:03", false},
                              {"RQS|NFO|" + clip, "Video, H.264, 640x360", false},
                              {"RQS|NFO|" + root + "/odd\\\\name.mp3", "Audio, MPEG Audio Layer 3", false},
                              {"RQS|NFO|" + root, "Folder: " + root + "\n"},
                              {"RQS|NFO|/etc/passwd", "+nok"},
                              {"RQS|NFO|" + root + "/broken.avi", "+nok"},
                              {"RQS|NFO|" + root + "/missing.avi", "+nok"},
                              {"VLC|XYZ|NO", "+nok"},
                              {"RQS|XYZ|NO", "+nok"},
                              {"FOO|GTI|NO", "+nok"},
                              {"hello", "+nok"},
                              {"VLC|REW|abc", "+nok"},
                              {"VLC|PAU|NO", "+nok"},
                              {"VLC|FFW|1", "+nok"},
                              {"VLC|NXT|NO", "+nok"},
                              {"VLC|PRV|NO", "+nok"},
                              {"RQS|CLW|NO", "+ok"},
                          });
    EXPECT_TRUE(std::filesystem::exists(dir / "down;echo"));
    // Nothing plays after refused plays, and a wrong request gets no stream either.
    for (const char* request : {"GET /dboxstream HTTP/1.0\r\n\r\n", "GET /other HTTP/1.0\r\n\r\n",
                                "POST /dboxstream HTTP/1.0\r\n\r\n", "garbage\r\n\r\n"}) {
        EXPECT_TRUE(test::StreamClient(server.streamPort(), request).notFound()) << request;
    }
}

// With a password, what each command answers before the right one came, and after.
TEST_F(CommandTest, PasswordGuardsListingsPerAddress) {
    Options options = RunningServer::loopback(root);
    options.mediaDir = extra.path();
    options.password = "s3cret";
    RunningServer server(options);
    const std::tuple<std::string, std::string, std::string> rows[] = {
        {"VLC|GFL|" + root, kEmpty, "name=\"clip.mp4\""},
        {"VLC|MDI|NO", kEmpty, "name=\"show.mkv\""},
        {"VLC|GTI|NO", "<time>0</time>", "<time>0</time>"},
    };
    const auto expectAll = [&](bool granted) {
        for (const auto& [request, before, after] : rows) {
            expectReplies(server, {{request, granted ? after : before, false}});
        }
    };
    expectAll(false);
    expectReplies(server, {{"RQS|PSW|wrong", "+nok"}, {"RQS|PSW|s3cre", "+nok"}, {"RQS|PSW|s3cret!", "+nok"}});
    expectAll(false);
    expectReplies(server, {{"RQS|PSW|s3cret", "+ok"}});
    expectAll(true);

    PasswordGate gate("s3cret");
    const auto start = PasswordGate::Clock::now();
    ASSERT_TRUE(gate.offer("127.0.0.2", "s3cret", start));
    EXPECT_TRUE(gate.allowed("127.0.0.2", start + std::chrono::hours(12)));
    EXPECT_FALSE(gate.allowed("127.0.0.3", start)) << "another box must send it too";
    EXPECT_FALSE(gate.allowed("127.0.0.2", start + std::chrono::hours(12) + std::chrono::seconds(1)));
}

// Clients that misbehave are dropped without a reply, and the server serves on.
TEST_F(CommandTest, SurvivesSilentOversizedAndParallelClients) {
    RunningServer server(RunningServer::loopback(root));
    const std::pair<std::string, int> dropped[] = {
        {"", CommandServer::kIdleTimeoutMs + 2000},
        {"VLC|GFL|/" + std::string(CommandServer::kMaxRequestBytes + 1, 'a'), 3000},
    };
    for (const auto& [payload, waitMs] : dropped) {
        test::StreamClient client(server.commandPort(), payload);
        EXPECT_EQ(client.read(1, waitMs), 0u);
        EXPECT_TRUE(client.readToEnd(0)) << "closed within " << waitMs << " ms";
    }

    std::atomic<int> answered{0};
    std::vector<std::thread> clients;
    for (int i = 0; i < 24; ++i) {
        clients.emplace_back([&] { answered += server.command("RQS|STD|NO") == root ? 1 : 0; });
    }
    for (auto& client : clients) client.join();
    EXPECT_EQ(answered.load(), 24);
}

// Also: a shutdown command that fails is reported.
TEST_F(CommandTest, MissingFfmpegFailsPlaybackAndNothingElse) {
    Options options = RunningServer::loopback(root);
    options.ffmpeg = "/nonexistent/ffmpeg";
    options.ffprobe = "ffprobe";
    options.shutdownCommand = "false";
    RunningServer server(options);
    expectReplies(server, {{"VLC|STA|NO", "+nok"},
                           {"RQS|CLW|NO", "+nok"},
                           {"VLC|PLY|" + clip + "|0|1", "+nok"},
                           {"VLC|GFL|" + root, "name=\"clip.mp4\"", false}});
    test::StreamClient client(server.streamPort());
    EXPECT_TRUE(client.notFound());
}

}  // namespace
}  // namespace oxle::server
