#include <gtest/gtest.h>

#include "server/Probe.h"
#include "tests/server/TestSupport.h"

namespace oxle::server {
namespace {

TEST(ProbeTest, ParsesFfprobeJson) {
    const std::string json = R"({
      "streams": [
        {"index": 0, "codec_name": "h264", "codec_type": "video", "width": 1280, "height": 720,
         "disposition": {"attached_pic": 0}},
        {"index": 1, "codec_name": "ac3", "codec_type": "audio", "channels": 6, "sample_rate": "48000",
         "tags": {"language": "ger"}},
        {"index": 2, "codec_name": "mjpeg", "codec_type": "video", "width": 300, "height": 300,
         "disposition": {"attached_pic": 1}}
      ],
      "format": {"format_name": "matroska,webm", "duration": "5400.250000", "size": "3221225472"}
    })";
    MediaInfo info;
    std::string error;
    ASSERT_TRUE(Probe::parseJson(json, info, error)) << error;
    EXPECT_EQ(info.container, "matroska,webm");
    EXPECT_DOUBLE_EQ(info.durationSeconds, 5400.25);
    EXPECT_EQ(info.sizeBytes, 3221225472ULL);
    ASSERT_EQ(info.streams.size(), 3u);
    EXPECT_EQ(info.streams[1].sampleRate, 48000);
    EXPECT_EQ(info.streams[1].channels, 6);
    EXPECT_EQ(info.streams[1].language, "ger");
    EXPECT_TRUE(info.streams[2].attachedPicture);
    ASSERT_NE(info.firstVideo(), nullptr);
    EXPECT_EQ(info.firstVideo()->codec, "h264");
    EXPECT_EQ(info.audioStreams().size(), 1u);
}

TEST(ProbeTest, RefusesWhatIsNotAProbeResult) {
    MediaInfo info;
    std::string error;
    for (const char* text : {"", "not json", "[1,2]", "{}", R"({"streams": []})", R"({"streams": 5})"}) {
        EXPECT_FALSE(Probe::parseJson(text, info, error)) << text;
        EXPECT_FALSE(error.empty());
    }
}

TEST(ProbeTest, ProbesRealMedia) {
    const auto& media = test::TestMedia::get();
    Probe probe;
    MediaInfo info;
    std::string error;
    ASSERT_TRUE(probe.run(media.clipMp4, info, error)) << error;
    ASSERT_NE(info.firstVideo(), nullptr);
    EXPECT_EQ(info.firstVideo()->codec, "h264");
    EXPECT_EQ(MediaInfo::resolutionText(*info.firstVideo()), "640x360");
    EXPECT_NEAR(info.durationSeconds, 3.0, 0.2);

    ASSERT_TRUE(probe.run(media.songMp3, info, error)) << error;
    EXPECT_EQ(info.firstVideo(), nullptr);
    ASSERT_EQ(info.audioStreams().size(), 1u);
    EXPECT_EQ(info.audioStreams()[0]->codec, "mp3");
}

TEST(ProbeTest, ReportsFilesItCannotRead) {
    test::TempDir dir;
    Probe probe;
    MediaInfo info;
    std::string error;
    EXPECT_FALSE(probe.run(dir.file("broken.mp4", "this is no video"), info, error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(probe.run(dir.path() + "/missing.mp4", info, error));
    Probe missing("/nonexistent/ffprobe");
    EXPECT_FALSE(missing.run(test::TestMedia::get().clipMp4, info, error));
    EXPECT_NE(error.find("/nonexistent/ffprobe"), std::string::npos) << error;
}

}  // namespace
}  // namespace oxle::server
