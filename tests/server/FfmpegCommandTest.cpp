#include <gtest/gtest.h>

#include <algorithm>

#include "server/FfmpegCommand.h"

namespace oxle::server {
namespace {

StreamInfo video(const std::string& codec, int width, int height) {
    StreamInfo s;
    s.kind = "video";
    s.codec = codec;
    s.width = width;
    s.height = height;
    return s;
}

StreamInfo audio(const std::string& codec) {
    StreamInfo s;
    s.kind = "audio";
    s.codec = codec;
    return s;
}

MediaInfo media(std::vector<StreamInfo> streams) {
    MediaInfo info;
    info.streams = std::move(streams);
    info.durationSeconds = 100;
    return info;
}

// The value that follows `option` in the argument vector, or "<absent>".
std::string valueOf(const std::vector<std::string>& args, const std::string& option, int occurrence = 0) {
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == option && occurrence-- == 0) return args[i + 1];
    }
    return "<absent>";
}

bool has(const std::vector<std::string>& args, const std::string& word) {
    return std::find(args.begin(), args.end(), word) != args.end();
}

TEST(FfmpegCommandTest, ChoosesRemuxOnlyForWhatTheDecoderPlaysAsItIs) {
    struct Case {
        const char* name;
        MediaInfo info;
        StreamPlan plan;
    };
    const Case cases[] = {
        {"a.ts", media({video("mpeg2video", 720, 576), audio("mp2")}), StreamPlan::Remux},
        {"a.VOB", media({video("mpeg2video", 720, 576), audio("ac3"), audio("mp2")}), StreamPlan::Remux},
        {"a.mpg", media({video("mpeg2video", 352, 288), audio("mp2")}), StreamPlan::Remux},
        {"a.m2ts", media({video("mpeg2video", 1920, 1080), audio("ac3")}), StreamPlan::Transcode},
        {"a.ts", media({video("h264", 720, 576), audio("mp2")}), StreamPlan::Transcode},
        {"a.ts", media({video("mpeg2video", 720, 576), audio("aac")}), StreamPlan::Transcode},
        {"a.ts", media({video("mpeg2video", 720, 576)}), StreamPlan::Transcode},
        {"a.mkv", media({video("mpeg2video", 720, 576), audio("mp2")}), StreamPlan::Transcode},
        {"a.mp4", media({video("h264", 1280, 720), audio("aac")}), StreamPlan::Transcode},
        {"a.mp3", media({audio("mp3")}), StreamPlan::AudioOnly},
        {"a.mp3",
         media({audio("mp3"),
                [] {
                    auto s = video("mjpeg", 300, 300);
                    s.attachedPicture = true;
                    return s;
                }()}),
         StreamPlan::AudioOnly},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FfmpegCommand::plan(c.name, c.info), c.plan);
    }
}

TEST(FfmpegCommandTest, TranscodesToSdMpeg2AndLayerTwo) {
    TranscodeRequest request;
    request.input = "/m/film.mp4";
    request.startSeconds = 90;
    const auto args = FfmpegCommand::build(request, media({video("h264", 1280, 720), audio("aac")}));
    EXPECT_EQ(args.front(), "ffmpeg");
    EXPECT_EQ(valueOf(args, "-ss"), "90");
    EXPECT_LT(std::find(args.begin(), args.end(), "-ss"), std::find(args.begin(), args.end(), "-i"))
        << "seeking on the input is fast";
    EXPECT_EQ(valueOf(args, "-i"), "/m/film.mp4");
    EXPECT_EQ(valueOf(args, "-c:v"), "mpeg2video");
    EXPECT_EQ(valueOf(args, "-r"), "25");
    EXPECT_EQ(valueOf(args, "-b:v"), "5M");
    EXPECT_NE(valueOf(args, "-vf").find("pad=720:576"), std::string::npos);
    EXPECT_EQ(valueOf(args, "-c:a"), "mp2");
    EXPECT_EQ(valueOf(args, "-ar"), "48000");
    EXPECT_EQ(valueOf(args, "-b:a"), "192k");
    EXPECT_EQ(valueOf(args, "-f", 0), "mpegts");
    EXPECT_EQ(args.back(), "pipe:1");
}

TEST(FfmpegCommandTest, PicksTheAudioTrackTheBoxAsksForWhenItExists) {
    const MediaInfo twoTracks = media({video("h264", 640, 360), audio("aac"), audio("ac3")});
    const std::pair<int, const char*> cases[] = {{1, "0:a:0"}, {2, "0:a:1"}, {3, "0:a:0"}, {0, "0:a:0"}, {-4, "0:a:0"}};
    for (const auto& c : cases) {
        TranscodeRequest request;
        request.input = "/m/film.mkv";
        request.audioChannel = c.first;
        EXPECT_EQ(valueOf(FfmpegCommand::build(request, twoTracks), "-map", 1), c.second) << c.first;
    }
}

TEST(FfmpegCommandTest, RemuxCopiesAndAudioOnlyDropsVideo) {
    TranscodeRequest request;
    request.input = "/m/rec.ts";
    auto args = FfmpegCommand::build(request, media({video("mpeg2video", 720, 576), audio("mp2")}));
    EXPECT_EQ(valueOf(args, "-c"), "copy");
    EXPECT_FALSE(has(args, "-vf"));
    EXPECT_FALSE(has(args, "-ss")) << "no seek from the start";

    request.input = "/m/song.flac";
    args = FfmpegCommand::build(request, media({audio("flac")}));
    EXPECT_TRUE(has(args, "-vn"));
    EXPECT_EQ(valueOf(args, "-c:a"), "mp2");
    EXPECT_FALSE(has(args, "-c:v"));
}

TEST(FfmpegCommandTest, GuessFromTheNameMatchesCommonSources) {
    struct Case {
        const char* name;
        int channel;
        MediaInfo probed;
        bool same;
    };
    const Case cases[] = {
        {"/m/a.mp4", 1, media({video("h264", 1280, 720), audio("aac")}), true},
        {"/m/a.mkv", 2, media({video("hevc", 1920, 1080), audio("ac3"), audio("aac")}), true},
        {"/m/a.ts", 1, media({video("mpeg2video", 720, 576), audio("mp2")}), true},
        {"/m/a.mp3", 1, media({audio("mp3")}), true},
        {"/m/a.mkv", 2, media({video("h264", 1280, 720), audio("aac")}), false},
        {"/m/a.ts", 1, media({video("h264", 1920, 1080), audio("aac")}), false},
        {"/m/a.mp4", 1, media({video("h264", 640, 360)}), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TranscodeRequest request;
        request.input = c.name;
        request.audioChannel = c.channel;
        const bool same = FfmpegCommand::build(request, FfmpegCommand::guess(c.name, c.channel)) ==
                          FfmpegCommand::build(request, c.probed);
        EXPECT_EQ(same, c.same);
    }
}

TEST(FfmpegCommandTest, SilentVideoGetsASilentTrack) {
    TranscodeRequest request;
    request.input = "/m/mute.mp4";
    const auto args = FfmpegCommand::build(request, media({video("h264", 640, 360)}));
    EXPECT_EQ(valueOf(args, "-i", 1), "anullsrc=r=48000:cl=stereo");
    EXPECT_EQ(valueOf(args, "-map", 1), "1:a:0");
    EXPECT_TRUE(has(args, "-shortest"));
}

}  // namespace
}  // namespace oxle::server
