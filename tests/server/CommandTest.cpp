// The command line, and the command port as the box uses it against the whole server in
// this process.
#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

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
        ASSERT_TRUE(dir.ok() && extra.ok());
        root = std::filesystem::canonical(dir.path()).string();
        test::place(dir, "clip.mp4", test::kClipMp4);
        test::place(dir, "odd\\name.mp3", test::kSongMp3);
        dir.file("broken.avi", "not a video at all");
        extra.file("show.mkv", "x");
        options = RunningServer::loopback(root);
        options.mediaDir = extra.path();
    }

    TempDir dir;
    TempDir extra;
    std::string root;
    Options options;
};

TEST_F(CommandTest, AnswersEveryCommandOrRefusesIt) {
    options.cdDrive = "/dev/sr0";
    // No shell: the ';' reaches touch as part of the name.
    options.shutdownCommand = "touch " + (dir / "down;echo");
    RunningServer server(options);
    EXPECT_EQ(server.command("RQS|SPO|NO"), std::to_string(server.streamPort()));
    const Exchanges answers = {{"RQS|STD|NO", "~"},         {"RQS|CDD|NO", "/dev/sr0"},   {"RQS|SIP|NO", "127.0.0.1"},
                               {"RQS|PSW|anything", "+ok"}, {"VLC|STA|NO", "+ok"},        {"VLC|STP|NOUP", "+ok"},
                               {"VLC|STP|NO", "+ok"},       {"RQS|NFO|~", "Folder: ~\n"}, {"RQS|CLW|NO", "+ok"}};
    expectReplies(server, root, true, answers);
    const Exchanges parts = {{"VLC|GFL|/etc", "<list/>"},
                             {"RQS|SEP|NO", "oxle_x86"},
                             {"VLC|GTI|NO", "<length>0</length>"},
                             {"VLC|GFL|~", "name=\"clip.mp4\""},
                             {"VLC|GFL|c:/..", "name=\"~\""},
                             {"VLC|MDI|NO", "name=\"show.mkv\""},
                             {"RQS|NFO|~/clip.mp4", "Length: 0:00:03"},
                             {"RQS|NFO|~/clip.mp4", "H.264, 640x360"},
                             {"RQS|NFO|~/odd\\\\name.mp3", "MPEG Audio Layer 3"}};
    expectReplies(server, root, false, parts);
    // Each for a reason of its own; disc playback is not there yet.
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

// Clients that misbehave are dropped without a reply, and the server serves on; without
// ffmpeg it serves all but playback, and a shutdown command that fails is reported.
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

TEST(CommandLineTest, OptionsAndExitCodes) {
    TempDir a;
    const std::string root = a.path();
    // The arguments, the exit code (-1: go on), the stream port and ffprobe.
    const std::tuple<std::vector<std::string>, int, int, const char*> cases[] = {
        {{"--root", root}, -1, 12051, "ffprobe"},
        {{"--root", root, "--port", "0"}, -1, 0, "ffprobe"},
        {{"--root", root, "--port", "4000", "--ffmpeg", "/opt/ff/ffmpeg"}, -1, 4001, "/opt/ff/ffprobe"},
        {{"--root", root, "--port", "0", "--stream-port", "9000", "--ffprobe", "/x/probe"}, -1, 9000, "/x/probe"},
        {{"--root", root, "--root", "/tmp", "--media-dir", root, "--cd-drive", "D:", "--password", "pw",
          "--shutdown-command", "systemctl poweroff"},
         -1,
         12051,
         "ffprobe"},
        {{"--help"}, 0, 0, ""},
        {{}, 2, 0, ""},
        {{"--root", "/nonexistent/oxle"}, 2, 0, ""},
        {{"--root", root, "--port", "65536"}, 2, 0, ""},
        {{"--root", root, "--port", "abc"}, 2, 0, ""},
        {{"--root", root, "--unknown"}, 2, 0, ""},
    };
    for (auto [args, exit, streamPort, ffprobe] : cases) {
        SCOPED_TRACE(args.empty() ? "no arguments" : args.back());
        args.insert(args.begin(), "oxle_x86");
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        Options options;
        std::string message;
        ASSERT_EQ(CommandLine::parse(static_cast<int>(argv.size()), argv.data(), options, message, ""), exit)
            << message;
        EXPECT_EQ(message.empty(), exit < 0);
        if (exit >= 0) continue;
        EXPECT_EQ(options.effectiveStreamPort(), streamPort);
        EXPECT_EQ(options.effectiveFfprobe(), ffprobe);
        if (args.size() > 10) {
            EXPECT_EQ(options.roots, (std::vector<std::string>{root, "/tmp"}));
            EXPECT_EQ(options.mediaDir + options.cdDrive + options.password, root + "D:pw");
            EXPECT_EQ(options.shutdownCommand, "systemctl poweroff");
        }
    }
}

}  // namespace
}  // namespace oxle::server
