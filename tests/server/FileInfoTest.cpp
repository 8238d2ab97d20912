#include <gtest/gtest.h>

#include "server/FileInfo.h"

namespace oxle::server {
namespace {

TEST(FileInfoTest, OneLinePerStreamAfterContainerLengthAndSize) {
    MediaInfo info;
    info.container = "matroska,webm";
    info.durationSeconds = 5400.4;
    info.sizeBytes = 3221225472ULL;
    StreamInfo v;
    v.kind = "video";
    v.codec = "h264";
    v.width = 1920;
    v.height = 1080;
    StreamInfo a;
    a.kind = "audio";
    a.codec = "ac3";
    a.channels = 6;
    a.sampleRate = 48000;
    a.language = "ger";
    info.streams = {v, a};
    EXPECT_EQ(FileInfo::text("/m/Film.mkv", info),
              "File: Film.mkv\n"
              "Container: matroska,webm\n"
              "Length: 1:30:00\n"
              "Size: 3221225472 bytes (3072 MiB)\n"
              "Stream 1: Video, H.264, 1920x1080\n"
              "Stream 2: Audio, AC-3, 6 channels, 48000 Hz, language ger\n");
}

TEST(FileInfoTest, DurationText) {
    EXPECT_EQ(FileInfo::duration(0), "0:00:00");
    EXPECT_EQ(FileInfo::duration(59.6), "0:01:00");
    EXPECT_EQ(FileInfo::duration(3599), "0:59:59");
    EXPECT_EQ(FileInfo::duration(-3), "0:00:00");
}

}  // namespace
}  // namespace oxle::server
