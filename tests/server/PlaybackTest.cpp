// Play requests, the stream port and the session between them, with real ffmpeg.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <optional>
#include <thread>
#include <tuple>

#include "ServerProcess.h"
#include "Ts.h"
#include "tests/server/ServerHarness.h"

namespace oxle::server {
namespace {

using test::RunningServer;
using test::StreamClient;

// Enough of a stream to know it flows: about half a second of it.
constexpr std::size_t kSomeStream = 256 * 1024;

class PlaybackTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.ok()); }
    void TearDown() override { EXPECT_TRUE(test::noChildrenLeft()) << "a transcoder was left behind"; }
    // The only transcoder this process runs, or -1.
    static pid_t transcoder() {
        const auto children = test::transcodersOf(::getpid());
        return children.size() == 1 ? children[0] : -1;
    }
    // Whether the process comes to be stopped (or running again).
    static bool becomes(pid_t pid, bool stopped) {
        return waitUntil([&] { return (test::processState(pid) == 'T') == stopped; });
    }
    TempDir dir;
};

// Occurrences of `what` in `text`.
std::size_t count(const std::string& text, const std::string& what) {
    std::size_t found = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++found;
    return found;
}

// A name that lies (an H.264 MP4 called .ts) has its guessed ffmpeg replaced once ffprobe answers.
TEST_F(PlaybackTest, EachKindOfSourceStreamsWholeAsTheDecoderNeedsIt) {
    struct Case {
        const char* name;
        MediaMaker::Clip clip;
        const char* codec;
        std::size_t restarts;
    };
    const Case cases[] = {
        {"clip.mp4", test::kClipMp4, "H.264", 0},               // transcoded
        {"clip.ts", test::kClipTs, "MPEG-2 Video", 0},          // remuxed
        {"lies.ts", test::kClipMp4, nullptr, 1},                // copied as guessed, then transcoded
        {"song.mp3", test::kSongMp3, "MPEG Audio Layer 3", 0},  // audio alone
    };
    // Every picture of a 3 s clip at 25 frames, 12 to a group, each group behind a sequence header.
    constexpr std::size_t kSequenceHeaders = 3 * 25 / 12;
    const std::string kSequenceHeader("\x00\x00\x01\xB3", 4);
    const std::string kContradicted = "contradicts the guess";
    ServerProcess server({"--root", dir.path()});
    ASSERT_TRUE(server.start()) << server.error();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = test::place(dir, c.name, c.clip);
        const std::size_t before = count(server.log(), kContradicted);
        const bool video = c.clip.kind != MediaMaker::Kind::Mp3;
        // The box may ask for the stream before the play request is through: it waits.
        const bool early = &c == &cases[0];
        std::optional<StreamClient> client;
        if (early) {
            client.emplace(server.streamPort());
            EXPECT_EQ(client->read(1, 200), 0u);
        }
        ASSERT_EQ(test::sendCommand(server.commandPort(), "VLC|PLY|" + path + "|0|1"), "+ok");
        // A short clip is over soon after its stream is fetched: what it is is asked before.
        if (!early && c.codec) {
            const std::string status = test::sendCommand(server.commandPort(), "VLC|GTI|NO");
            EXPECT_NE(status.find(std::string(">") + c.codec + "<"), std::string::npos) << status;
        }
        if (!early) client.emplace(server.streamPort());
        EXPECT_TRUE(client->streaming());
        ASSERT_TRUE(client->readToEnd()) << "the end of the file closes the connection";
        EXPECT_EQ(count(server.log(), kContradicted) - before, c.restarts) << server.log();
        const ts::Scan scan = ts::scan(client->data());
        EXPECT_TRUE(scan.aligned);
        EXPECT_GT(scan.packets, 100u);
        EXPECT_EQ(scan.hasStreamId(ts::VIDEO_STREAM_ID), video);
        EXPECT_TRUE(scan.hasStreamId(ts::AUDIO_STREAM_ID));
        // A transcoder put in the guess's place begins its own counters.
        EXPECT_TRUE(c.restarts > 0 || (scan.continuityErrors.empty() && scan.streamIds.size() == (video ? 2u : 1u)));
        EXPECT_GE(count(client->data(), kSequenceHeader), video ? kSequenceHeaders : 0) << "MPEG-2 pictures to the end";
        EXPECT_NE(test::sendCommand(server.commandPort(), "VLC|GTI|NO").find("<length>0<"), std::string::npos)
            << "nothing plays after the end";
    }
}

TEST_F(PlaybackTest, PauseSeekSkipAndStopActOnTheRunningSession) {
    // The box's order compares bytes: "B.mp3" comes before "a.mp4".
    const std::string film = test::place(dir, "a.mp4", test::kLongMp4);
    test::place(dir, "B.mp3", test::kLongMp3);
    test::place(dir, "c.mp4", test::kLongMp4);
    dir.file("notes.txt", "not playable");
    RunningServer server(RunningServer::loopback(dir.path()));
    const std::string play = "VLC|PLY|" + film + "|0|1";
    // A play whose stream nobody fetches is dropped at the box's next status request.
    ASSERT_EQ(server.command(play), "+ok");
    EXPECT_EQ(test::transcodersOf(::getpid()).size(), 1u);
    EXPECT_EQ(server.command("VLC|STA|NO"), "+ok");
    EXPECT_TRUE(test::childrenOf(::getpid()).empty());
    EXPECT_EQ(server.status("length"), 0);
    ASSERT_EQ(server.command(play), "+ok");
    StreamClient client(server.streamPort());
    ASSERT_TRUE(client.streaming());
    ASSERT_EQ(client.read(kSomeStream), kSomeStream);
    EXPECT_EQ(server.status("length"), 150);
    EXPECT_LE(server.status("time"), 10);
    // Pause stops the transcoder and the clock.
    const pid_t first = transcoder();
    ASSERT_GT(first, 0);
    ASSERT_EQ(server.command("VLC|PAU|NO"), "+ok");
    EXPECT_TRUE(becomes(first, true));
    const int pausedAt = server.status("time");
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    EXPECT_EQ(server.status("time"), pausedAt) << "paused time does not count";
    // A seek restarts the transcoder on the same connection; made while paused, it stays
    // paused until the next toggle.
    ASSERT_EQ(server.command("VLC|FFW|1"), "+ok");
    const pid_t seeked = transcoder();
    ASSERT_GT(seeked, 0);
    EXPECT_NE(seeked, first);
    EXPECT_TRUE(becomes(seeked, true));
    const int time = server.status("time");
    EXPECT_TRUE(time >= 60 && time < 80) << time;
    EXPECT_EQ(server.status("position"), time * 100 / 150);
    ASSERT_EQ(server.command("VLC|PAU|NO"), "+ok");
    EXPECT_TRUE(becomes(seeked, false));
    EXPECT_EQ(client.read(kSomeStream), kSomeStream) << "the stream goes on after a seek";
    for (const char* refused : {"VLC|REW|-5", "VLC|FFW|-1", "VLC|FFW|x"}) EXPECT_EQ(server.command(refused), "+nok");
    EXPECT_LT(server.status("time"), 90) << "a refused step does not seek";
    // Skips follow the folder's order, on the same connection, each from the file's start.
    const std::tuple<const char*, const char*, const char*> steps[] = {{"VLC|PRV|NO", "+ok", "MPEG Audio Layer 3"},
                                                                       {"VLC|PRV|NO", "+nok", "MPEG Audio Layer 3"},
                                                                       {"VLC|NXT|NO", "+ok", "H.264"},
                                                                       {"VLC|NXT|NO", "+ok", "H.264"},
                                                                       {"VLC|NXT|NO", "+nok", "H.264"}};
    for (const auto& [step, reply, codec] : steps) {
        EXPECT_EQ(server.command(step), reply) << step;
        EXPECT_EQ(server.codec(), codec) << step;
    }
    EXPECT_LE(server.status("time"), 5);
    EXPECT_EQ(client.read(kSomeStream), kSomeStream) << "the stream goes on after skips";
    EXPECT_TRUE(ts::scan(client.data()).aligned);
    ASSERT_EQ(server.command("VLC|STP|NO"), "+ok");
    EXPECT_TRUE(client.readToEnd(5000)) << "stop closes the stream connection";
    EXPECT_EQ(server.status("length"), 0);
}

// A seek drops a transcoder's cut last packet rather than shift every packet after it.
TEST_F(PlaybackTest, OnlyWholePacketsGoOutAcrossSeeks) {
    const std::string film = test::place(dir, "film.mp4", test::kLongMp4);
    ts::Builder output;
    for (int i = 0; i < 3; ++i) output.packet({0x100});
    const std::string cut(100, ts::FILLER);
    Options options = RunningServer::loopback(dir.path());
    options.ffmpeg =
        dir.file("ffmpeg", "#!/bin/sh\ncat '" + dir.file("out.ts", output.bytes + cut) + "'\nexec sleep 30\n");
    options.ffprobe = "ffprobe";
    ASSERT_EQ(::chmod(options.ffmpeg.c_str(), 0755), 0);
    RunningServer server(options);
    ASSERT_EQ(server.command("VLC|PLY|" + film + "|0|1"), "+ok");
    StreamClient client(server.streamPort());
    ASSERT_TRUE(client.streaming());
    ASSERT_EQ(client.read(output.bytes.size()), output.bytes.size());
    ASSERT_EQ(server.command("VLC|FFW|1"), "+ok");
    ASSERT_EQ(client.read(output.bytes.size()), output.bytes.size());
    EXPECT_EQ(client.read(1, 300), 0u) << "the cut packet never goes out";
    const ts::Scan scan = ts::scan(client.data());
    EXPECT_TRUE(scan.aligned);
    EXPECT_EQ(scan.packets, 6u);
}

// However a session ends, its connection closes, nothing plays and no transcoder stays.
TEST_F(PlaybackTest, SessionsEndWithoutLeavingATranscoder) {
    const std::string film = test::place(dir, "film.mp4", test::kLongMp4);
    const std::string clip = test::place(dir, "clip.mp4", test::kClipMp4);
    for (const std::string ending : {"client leaves", "next play"}) {
        SCOPED_TRACE(ending);
        RunningServer server(RunningServer::loopback(dir.path()));
        ASSERT_EQ(server.command("VLC|PLY|" + film + "|30|1"), "+ok");
        EXPECT_GE(server.status("time"), 30) << "the start offset counts";
        auto client = std::make_unique<StreamClient>(server.streamPort());
        ASSERT_TRUE(client->streaming());
        ASSERT_EQ(client->read(kSomeStream), kSomeStream);
        EXPECT_TRUE(StreamClient(server.streamPort()).notFound()) << "one client at a time";
        if (ending == "client leaves") {
            client.reset();
        } else {
            EXPECT_EQ(server.command("VLC|PLY|" + clip + "|0|1"), "+ok");
            EXPECT_TRUE(client->readToEnd(5000)) << "the first connection closes";
            client = std::make_unique<StreamClient>(server.streamPort());
            EXPECT_TRUE(client->streaming());
        }
        EXPECT_TRUE(!client || client->readToEnd()) << "the connection closes";
        EXPECT_TRUE(test::noChildrenLeft());
        EXPECT_EQ(server.status("length"), 0);
    }
}

// The real program: its transcoder goes down with it on SIGTERM.
TEST_F(PlaybackTest, ServerProcessTakesItsTranscoderAlongWhenItStops) {
    const std::string film = test::place(dir, "film.mp4", test::kLongMp4);
    ServerProcess server({"--root", dir.path()});
    ASSERT_TRUE(server.start()) << server.error();
    ASSERT_EQ(test::sendCommand(server.commandPort(), "VLC|PLY|" + film + "|0|1"), "+ok");
    StreamClient client(server.streamPort());
    ASSERT_TRUE(client.streaming());
    ASSERT_GT(client.read(kSomeStream), 0u);
    const auto transcoders = test::transcodersOf(server.pid());
    ASSERT_EQ(transcoders.size(), 1u);
    server.stop();
    EXPECT_EQ(test::processState(transcoders[0]), 0) << "the transcoder went with the server";
    EXPECT_TRUE(client.readToEnd(3000));
}

}  // namespace
}  // namespace oxle::server
