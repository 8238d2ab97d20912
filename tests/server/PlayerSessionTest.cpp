#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "tests/server/TestSupport.h"

namespace oxle::server {
namespace {

using test::RunningServer;
using test::StreamClient;
using test::TempDir;
using test::TestMedia;
using test::TsScan;

constexpr const char* kStreamHeader = "HTTP/1.0 200 OK\r\nContent-Type: video/mp2t\r\n\r\n";

// The box's first read: the status line and headers come first; stream bytes that
// arrived with them are dropped by the box, which resynchronises afterwards.
bool answeredOk(const std::string& firstRead) { return firstRead.rfind(kStreamHeader, 0) == 0; }
constexpr int kVideoStream = 0xE0;
constexpr int kAudioStream = 0xC0;
constexpr std::size_t kSomeStream = 256 * 1024;

int statusValue(const RunningServer& server, const char* element) {
    return std::atoi(test::elementText(server.command("VLC|GTI|NO"), element).c_str());
}

std::string codecOf(const RunningServer& server) {
    const std::string status = server.command("VLC|GTI|NO");
    const std::size_t start = status.find("<info name=\"Codec\">");
    if (start == std::string::npos) return "<missing>";
    const std::size_t textStart = status.find('>', start) + 1;
    return status.substr(textStart, status.find('<', textStart) - textStart);
}

// Stop and continue signals arrive a moment after kill() returns.
char settledState(pid_t pid, bool stopped) {
    for (int i = 0; i < 100 && (test::processState(pid) == 'T') != stopped; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return test::processState(pid);
}

pid_t onlyTranscoder() {
    const auto children = test::childProcesses(::getpid());
    return children.size() == 1 ? children[0] : -1;
}

class PlayerSessionTest : public ::testing::Test {
protected:
    void TearDown() override {
        EXPECT_EQ(test::waitForNoChildren(::getpid(), 5000), 0u) << "a transcoder was left behind";
    }
};

TEST_F(PlayerSessionTest, WholeFileStreamsAndTheConnectionClosesAtTheEnd) {
    RunningServer server(RunningServer::loopback(TestMedia::get().dir));
    ASSERT_EQ(server.command("VLC|PLY|" + TestMedia::get().clipMp4 + "|0|1"), "+ok");
    StreamClient client(server.streamPort());
    EXPECT_TRUE(answeredOk(client.firstRead()));
    ASSERT_TRUE(client.readToEnd()) << "the end of the file closes the connection";
    const TsScan scan = TsScan::of(client.data());
    EXPECT_TRUE(scan.aligned);
    EXPECT_GT(scan.packets, 100u);
    EXPECT_TRUE(scan.hasStreamId(kVideoStream));
    EXPECT_TRUE(scan.hasStreamId(kAudioStream));
    EXPECT_EQ(scan.streamIdsByPid.size(), 2u) << "one video and one audio PID";
    EXPECT_EQ(statusValue(server, "length"), 0) << "nothing plays after the end";
}

TEST_F(PlayerSessionTest, Mpeg2TransportStreamIsRemuxed) {
    RunningServer server(RunningServer::loopback(TestMedia::get().dir));
    ASSERT_EQ(server.command("VLC|PLY|" + TestMedia::get().clipTs + "|0|1"), "+ok");
    EXPECT_EQ(codecOf(server), "MPEG-2 Video");
    EXPECT_NE(server.command("VLC|GTI|NO").find(">720x576<"), std::string::npos);
    StreamClient client(server.streamPort());
    EXPECT_TRUE(answeredOk(client.firstRead()));
    ASSERT_TRUE(client.readToEnd());
    const TsScan scan = TsScan::of(client.data());
    EXPECT_TRUE(scan.aligned);
    EXPECT_TRUE(scan.hasStreamId(kVideoStream));
    EXPECT_TRUE(scan.hasStreamId(kAudioStream));
}

TEST_F(PlayerSessionTest, AudioFileGivesAnAudioOnlyStream) {
    RunningServer server(RunningServer::loopback(TestMedia::get().dir));
    ASSERT_EQ(server.command("VLC|PLY|" + TestMedia::get().songMp3 + "|0|1"), "+ok");
    EXPECT_EQ(codecOf(server), "MPEG Audio Layer 3");
    StreamClient client(server.streamPort());
    EXPECT_TRUE(answeredOk(client.firstRead()));
    ASSERT_TRUE(client.readToEnd());
    const TsScan scan = TsScan::of(client.data());
    EXPECT_TRUE(scan.aligned);
    EXPECT_TRUE(scan.hasStreamId(kAudioStream));
    EXPECT_FALSE(scan.hasStreamId(kVideoStream));
}

TEST_F(PlayerSessionTest, PauseSeekSkipAndStopActOnTheRunningSession) {
    const auto& media = TestMedia::get();
    RunningServer server(RunningServer::loopback(media.dir));
    ASSERT_EQ(server.command("VLC|PLY|" + media.longMp4 + "|0|1"), "+ok");
    StreamClient client(server.streamPort());
    ASSERT_TRUE(answeredOk(client.firstRead()));
    ASSERT_EQ(client.read(kSomeStream), kSomeStream);

    EXPECT_EQ(statusValue(server, "length"), 150);
    EXPECT_LE(statusValue(server, "time"), 10);
    EXPECT_EQ(codecOf(server), "H.264");
    EXPECT_NE(server.command("VLC|GTI|NO").find(">160x120<"), std::string::npos);

    // Pause stops the transcoder and the clock.
    const pid_t transcoder = onlyTranscoder();
    ASSERT_GT(transcoder, 0);
    ASSERT_EQ(server.command("VLC|PAU|NO"), "+ok");
    EXPECT_EQ(settledState(transcoder, true), 'T');
    const int pausedAt = statusValue(server, "time");
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    EXPECT_EQ(statusValue(server, "time"), pausedAt) << "paused time does not count";

    // Seeks restart the transcoder at the new position, on the same connection; one made
    // while paused stays paused until the next toggle.
    ASSERT_EQ(server.command("VLC|FFW|1"), "+ok");
    const pid_t seeked = onlyTranscoder();
    ASSERT_GT(seeked, 0);
    EXPECT_NE(seeked, transcoder);
    EXPECT_EQ(settledState(seeked, true), 'T');
    int time = statusValue(server, "time");
    EXPECT_GE(time, 60);
    EXPECT_LT(time, 80);
    EXPECT_EQ(statusValue(server, "position"), time * 100 / 150);
    ASSERT_EQ(server.command("VLC|PAU|NO"), "+ok");
    EXPECT_NE(settledState(seeked, false), 'T');
    EXPECT_EQ(client.read(kSomeStream), kSomeStream) << "the stream goes on after a seek";
    ASSERT_EQ(server.command("VLC|REW|5"), "+ok");
    EXPECT_LT(statusValue(server, "time"), 15) << "clamped to the start";
    EXPECT_EQ(client.read(kSomeStream), kSomeStream);

    const TsScan scan = TsScan::of(client.data());
    EXPECT_TRUE(scan.aligned) << "restarts never cut a packet";
    EXPECT_TRUE(scan.hasStreamId(kVideoStream));
    EXPECT_TRUE(scan.hasStreamId(kAudioStream));

    ASSERT_EQ(server.command("VLC|FFW|10"), "+ok");
    time = statusValue(server, "time");
    EXPECT_GE(time, 130);
    EXPECT_LE(time, 150) << "clamped to the file";

    ASSERT_EQ(server.command("VLC|STP|NO"), "+ok");
    EXPECT_TRUE(client.readToEnd(5000)) << "stop closes the stream connection";
    EXPECT_EQ(server.command("VLC|STP|NO"), "+ok");
    EXPECT_EQ(statusValue(server, "length"), 0);
}

TEST_F(PlayerSessionTest, SkipsFollowTheFolderOrderOnTheSameConnection) {
    const auto& media = TestMedia::get();
    TempDir dir;
    std::filesystem::create_hard_link(media.longMp4, dir.path() + "/a.mp4");
    std::filesystem::create_hard_link(media.longMp3, dir.path() + "/B.mp3");
    std::filesystem::create_hard_link(media.longMp4, dir.path() + "/c.mp4");
    dir.file("notes.txt", "not playable");
    RunningServer server(RunningServer::loopback(dir.path()));

    // The box's order compares bytes: "B.mp3" sorts before "a.mp4".
    ASSERT_EQ(server.command("VLC|PLY|" + dir.path() + "/a.mp4|0|1"), "+ok");
    StreamClient client(server.streamPort());
    ASSERT_TRUE(answeredOk(client.firstRead()));
    ASSERT_EQ(client.read(kSomeStream), kSomeStream);
    EXPECT_EQ(server.command("VLC|PRV|NO"), "+ok");
    EXPECT_EQ(codecOf(server), "MPEG Audio Layer 3");
    EXPECT_EQ(server.command("VLC|PRV|NO"), "+nok") << "nothing before the first file";
    EXPECT_EQ(codecOf(server), "MPEG Audio Layer 3");
    ASSERT_EQ(server.command("VLC|NXT|NO"), "+ok");
    ASSERT_EQ(server.command("VLC|NXT|NO"), "+ok");
    EXPECT_EQ(codecOf(server), "H.264");
    EXPECT_LE(statusValue(server, "time"), 5) << "a skipped-to file starts at its beginning";
    EXPECT_EQ(server.command("VLC|NXT|NO"), "+nok") << "nothing after the last file";
    EXPECT_EQ(client.read(kSomeStream), kSomeStream) << "the stream goes on after skips";
    const TsScan scan = TsScan::of(client.data());
    EXPECT_TRUE(scan.aligned);
    EXPECT_TRUE(scan.hasStreamId(kVideoStream));
    ASSERT_EQ(server.command("VLC|STP|NO"), "+ok");
    EXPECT_TRUE(client.readToEnd(5000));
}

TEST_F(PlayerSessionTest, TranscoderThatDiesEndsTheSessionLikeTheEndOfTheFile) {
    RunningServer server(RunningServer::loopback(TestMedia::get().dir));
    ASSERT_EQ(server.command("VLC|PLY|" + TestMedia::get().longMp4 + "|0|1"), "+ok");
    StreamClient client(server.streamPort());
    ASSERT_TRUE(answeredOk(client.firstRead()));
    ASSERT_EQ(client.read(kSomeStream), kSomeStream);
    const pid_t transcoder = onlyTranscoder();
    ASSERT_GT(transcoder, 0);
    ASSERT_EQ(::kill(transcoder, SIGKILL), 0);
    EXPECT_TRUE(client.readToEnd(5000)) << "the connection closes";
    EXPECT_EQ(statusValue(server, "length"), 0);
}

TEST_F(PlayerSessionTest, ClientThatLeavesEndsTheSession) {
    RunningServer server(RunningServer::loopback(TestMedia::get().dir));
    ASSERT_EQ(server.command("VLC|PLY|" + TestMedia::get().longMp4 + "|0|1"), "+ok");
    {
        StreamClient client(server.streamPort());
        ASSERT_TRUE(answeredOk(client.firstRead()));
        ASSERT_EQ(client.read(kSomeStream), kSomeStream);
    }
    EXPECT_EQ(test::waitForNoChildren(::getpid(), 5000), 0u);
    EXPECT_EQ(statusValue(server, "length"), 0);
    ASSERT_EQ(server.command("VLC|PLY|" + TestMedia::get().clipMp4 + "|0|1"), "+ok") << "and it serves on";
    StreamClient next(server.streamPort());
    EXPECT_TRUE(answeredOk(next.firstRead()));
    EXPECT_TRUE(next.readToEnd());
}

TEST_F(PlayerSessionTest, NewPlayEndsThePreviousConnectionAndOneClientStreamsAtATime) {
    RunningServer server(RunningServer::loopback(TestMedia::get().dir));
    ASSERT_EQ(server.command("VLC|PLY|" + TestMedia::get().longMp4 + "|30|1"), "+ok");
    EXPECT_GE(statusValue(server, "time"), 30) << "the start offset counts";
    StreamClient first(server.streamPort());
    ASSERT_TRUE(answeredOk(first.firstRead()));
    StreamClient second(server.streamPort());
    EXPECT_EQ(second.firstRead().rfind("HTTP/1.0 404", 0), 0u) << "one stream client at a time";

    ASSERT_EQ(server.command("VLC|PLY|" + TestMedia::get().clipMp4 + "|0|1"), "+ok");
    EXPECT_TRUE(first.readToEnd(5000)) << "the old session's connection is closed";
    StreamClient third(server.streamPort());
    EXPECT_TRUE(answeredOk(third.firstRead()));
    ASSERT_TRUE(third.readToEnd());
    EXPECT_TRUE(TsScan::of(third.data()).hasStreamId(kVideoStream));
}

TEST_F(PlayerSessionTest, StreamRequestWaitsForThePlayRequest) {
    Options options = RunningServer::loopback(TestMedia::get().dir);
    options.waitForPlayMs = 5000;
    RunningServer server(options);
    StreamClient early(server.streamPort());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_EQ(server.command("VLC|PLY|" + TestMedia::get().clipMp4 + "|0|1"), "+ok");
    EXPECT_TRUE(answeredOk(early.firstRead()));
    EXPECT_TRUE(early.readToEnd());
}

TEST_F(PlayerSessionTest, WrongStreamRequestsAndRefusedPlaysGet404) {
    TempDir dir;
    dir.file("broken.mp4", "no media in here");
    Options options = RunningServer::loopback(TestMedia::get().dir);
    options.roots.push_back(dir.path());
    RunningServer server(options);

    StreamClient idle(server.streamPort());
    EXPECT_EQ(idle.firstRead(3000).rfind("HTTP/1.0 404", 0), 0u) << "nothing plays";
    for (const char* request :
         {"GET /other HTTP/1.0\r\n\r\n", "POST /dboxstream HTTP/1.0\r\n\r\n", "garbage\r\n\r\n"}) {
        StreamClient wrong(server.streamPort(), request);
        EXPECT_EQ(wrong.firstRead().rfind("HTTP/1.0 404", 0), 0u) << request;
    }

    const std::string refused[] = {"/etc/passwd",
                                   TestMedia::get().dir + "/../../etc/passwd",
                                   TestMedia::get().dir + "/missing.mp4",
                                   dir.path() + "/broken.mp4",
                                   TestMedia::get().dir,
                                   "dvdsimple://D:@1:01-",
                                   "vcdx:///dev/sr0@1:05-"};
    for (const std::string& path : refused) {
        SCOPED_TRACE(path);
        EXPECT_EQ(server.command("VLC|PLY|" + path + "|0|1"), "+nok");
        EXPECT_EQ(statusValue(server, "length"), 0);
        StreamClient client(server.streamPort());
        EXPECT_EQ(client.firstRead().rfind("HTTP/1.0 404", 0), 0u);
    }
}

TEST_F(PlayerSessionTest, StreamNobodyFetchesIsDropped) {
    Options options = RunningServer::loopback(TestMedia::get().dir);
    options.attachTimeoutMs = 800;
    RunningServer server(options);
    ASSERT_EQ(server.command("VLC|PLY|" + TestMedia::get().longMp4 + "|0|1"), "+ok");
    EXPECT_EQ(test::childProcesses(::getpid()).size(), 1u);
    EXPECT_EQ(test::waitForNoChildren(::getpid(), 5000), 0u);
    EXPECT_EQ(statusValue(server, "length"), 0);
}

TEST_F(PlayerSessionTest, StatusRequestResetsASessionNobodyFetched) {
    RunningServer server(RunningServer::loopback(TestMedia::get().dir));
    ASSERT_EQ(server.command("VLC|PLY|" + TestMedia::get().longMp4 + "|0|1"), "+ok");
    EXPECT_EQ(server.command("VLC|STA|NO"), "+ok");
    EXPECT_EQ(test::childProcesses(::getpid()).size(), 0u);
    EXPECT_EQ(statusValue(server, "length"), 0);
}

}  // namespace
}  // namespace oxle::server
