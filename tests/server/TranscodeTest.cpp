// How a source becomes what the box's decoder plays, and where a session's clock and
// seeks land: pure choices, no ffmpeg run.
#include <gtest/gtest.h>

#include <algorithm>

#include "server/FfmpegCommand.h"
#include "server/Session.h"

namespace oxle::server {
namespace {

StreamInfo video(const std::string& codec, int width = 720, int height = 576, bool cover = false) {
    return StreamInfo{"video", codec, "", width, height, 0, 0, cover};
}

StreamInfo audio(const std::string& codec) { return StreamInfo{"audio", codec, "", 0, 0, 0, 0, false}; }

MediaInfo media(std::vector<StreamInfo> streams, double seconds = 100) { return MediaInfo{"", seconds, 0, streams}; }

std::vector<std::string> command(const std::string& input, const MediaInfo& info, int start = 0, int channel = 1) {
    return FfmpegCommand::build(TranscodeRequest{"ffmpeg", input, start, channel}, info);
}
// The value after the occurrence-th `option`, or "<absent>".
std::string valueOf(const std::vector<std::string>& args, const std::string& option, int occurrence = 0) {
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == option && occurrence-- == 0) return args[i + 1];
    }
    return "<absent>";
}

bool has(const std::vector<std::string>& args, const std::string& word) {
    return std::find(args.begin(), args.end(), word) != args.end();
}

TEST(TranscodeTest, RemuxOnlyWhatTheSdDecoderPlaysAsItIs) {
    const std::tuple<const char*, MediaInfo, StreamPlan> cases[] = {
        {"a.ts", media({video("mpeg2video"), audio("mp2")}), StreamPlan::Remux},
        {"a.VOB", media({video("mpeg2video"), audio("ac3"), audio("mp3")}), StreamPlan::Remux},
        {"a.m2ts", media({video("mpeg2video", 1920, 1080), audio("ac3")}), StreamPlan::Transcode},
        {"a.mpg", media({video("mpeg2video", 720, 577), audio("mp2")}), StreamPlan::Transcode},
        {"a.ts", media({video("h264"), audio("mp2")}), StreamPlan::Transcode},
        {"a.ts", media({video("mpeg2video"), audio("mp2"), audio("aac")}), StreamPlan::Transcode},
        {"a.ts", media({video("mpeg2video")}), StreamPlan::Transcode},
        {"a.mkv", media({video("mpeg2video"), audio("mp2")}), StreamPlan::Transcode},
        {"a.mp3", media({audio("mp3")}), StreamPlan::AudioOnly},
        {"a.mp3", media({audio("mp3"), video("mjpeg", 300, 300, true)}), StreamPlan::AudioOnly},
    };
    for (const auto& [name, info, plan] : cases) EXPECT_EQ(FfmpegCommand::plan(name, info), plan) << name;
}

TEST(TranscodeTest, EachPlanGetsItsArguments) {
    const auto args = command("/m/film.mp4", media({video("h264", 1280, 720), audio("aac")}), 90);
    EXPECT_LT(std::find(args.begin(), args.end(), "-ss"), std::find(args.begin(), args.end(), "-i"));
    EXPECT_EQ(valueOf(args, "-ss"), "90");
    EXPECT_EQ(valueOf(args, "-i"), "/m/film.mp4");
    EXPECT_EQ(valueOf(args, "-c:v"), "mpeg2video");
    EXPECT_NE(valueOf(args, "-vf").find("pad=720:576"), std::string::npos);
    EXPECT_EQ(valueOf(args, "-c:a"), "mp2");
    EXPECT_EQ(valueOf(args, "-ar"), "48000");
    EXPECT_EQ(valueOf(args, "-f"), "mpegts");
    EXPECT_EQ(args.back(), "pipe:1");

    const auto remux = command("/m/rec.ts", media({video("mpeg2video"), audio("mp2")}));
    EXPECT_EQ(valueOf(remux, "-c"), "copy");
    EXPECT_FALSE(has(remux, "-vf"));
    EXPECT_FALSE(has(remux, "-ss")) << "no seek from the start";

    const auto song = command("/m/song.flac", media({audio("flac")}));
    EXPECT_TRUE(has(song, "-vn"));
    EXPECT_EQ(valueOf(song, "-c:a"), "mp2");
    EXPECT_FALSE(has(song, "-c:v"));

    // The box refuses a stream without an audio PID.
    const auto mute = command("/m/mute.mp4", media({video("h264", 640, 360)}));
    EXPECT_EQ(valueOf(mute, "-i", 1), "anullsrc=r=48000:cl=stereo");
    EXPECT_EQ(valueOf(mute, "-map", 1), "1:a:0");
    EXPECT_TRUE(has(mute, "-shortest"));

    // The track the box asks for when it exists, else the first.
    const MediaInfo twoTracks = media({video("h264"), audio("aac"), audio("ac3")});
    const std::pair<int, const char*> channels[] = {
        {1, "0:a:0"}, {2, "0:a:1"}, {3, "0:a:0"}, {0, "0:a:0"}, {-4, "0:a:0"}};
    for (const auto& [channel, map] : channels) {
        EXPECT_EQ(valueOf(command("/m/film.mkv", twoTracks, 0, channel), "-map", 1), map) << channel;
    }
}

// ffmpeg starts on a guess from the name while ffprobe runs; a wrong guess must differ.
TEST(TranscodeTest, GuessFromTheNameGivesTheSameCommandOnlyForCommonSources) {
    const std::tuple<const char*, int, MediaInfo, bool> cases[] = {
        {"/m/a.mp4", 1, media({video("h264", 1280, 720), audio("aac")}), true},
        {"/m/a.mkv", 2, media({video("hevc", 1920, 1080), audio("ac3"), audio("aac")}), true},
        {"/m/a.ts", 1, media({video("mpeg2video"), audio("mp2")}), true},
        {"/m/a.mp3", 1, media({audio("mp3")}), true},
        {"/m/a.mkv", 2, media({video("h264"), audio("aac")}), false},
        {"/m/a.ts", 1, media({video("h264", 1920, 1080), audio("aac")}), false},
        {"/m/a.mp4", 1, media({video("h264", 640, 360)}), false},
    };
    for (const auto& [name, channel, probed, same] : cases) {
        EXPECT_EQ(command(name, FfmpegCommand::guess(name, channel), 0, channel) == command(name, probed, 0, channel),
                  same)
            << name;
    }
}

// Where the transcoder starts is the session's time until its first byte goes out.
TEST(TranscodeTest, StatusAndSeekTargetsStayInsideTheSourceShortOfItsEnd) {
    struct Case {
        double length;
        int start;
        int time, reportedLength, position;  // the status
        int minutes, target;                 // a seek from there
    };
    const Case cases[] = {
        {150, 0, 0, 150, 0, 1, 60},    {150, 145, 145, 150, 96, 10, 140},
        {150, 30, 30, 150, 20, -1, 0}, {150, 200, 150, 150, 100, -1, 90},
        {149.6, 0, 0, 150, 0, 0, 0},   {0, 30, 30, 0, 0, 1, 90},
        {5, 0, 0, 5, 0, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("length " + std::to_string(c.length) + ", from " + std::to_string(c.start));
        Session session({"/m/film.mp4", media({video("h264")}, c.length), 1});
        ASSERT_TRUE(session.restart(std::make_shared<ChildProcess>(), c.start));
        const PlayStatus status = session.status();
        EXPECT_EQ(status.time, c.time);
        EXPECT_EQ(status.length, c.reportedLength);
        EXPECT_EQ(status.position, c.position);
        EXPECT_EQ(session.seekTarget(c.minutes), c.target);
    }
}

}  // namespace
}  // namespace oxle::server
