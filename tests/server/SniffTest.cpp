// The first bytes of a source choose the command ffmpeg starts with before ffprobe answers:
// what they tell must make the command the probe's findings make.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempDir.h"
#include "server/FfmpegCommand.h"
#include "server/Probe.h"
#include "server/SourceSniff.h"
#include "tests/server/ServerHarness.h"

namespace oxle::server {
namespace {

constexpr std::size_t kPacket = 188;
constexpr int kPmtPid = 0x1000;
constexpr int kVideoPid = 0x100;

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (const int v : values) out += static_cast<char>(v);
    return out;
}

// One packet of `pid` carrying `payload` from its start, padded with 0xFF.
std::string packet(int pid, const std::string& payload, std::size_t stride = kPacket) {
    std::string p(stride - kPacket, '\0');  // an M2TS arrival time
    p += bytes({0x47, 0x40 | (pid >> 8), pid & 0xFF, 0x10});
    p += payload;
    p.resize(stride, '\xFF');
    return p;
}

// A table section behind its pointer field: id, length, five header bytes, body, CRC (unchecked).
std::string section(int table, const std::string& header, const std::string& body) {
    const std::size_t length = header.size() + body.size() + 4;
    return bytes({0, table, 0xB0 | static_cast<int>(length >> 8), static_cast<int>(length & 0xFF)}) + header + body +
           std::string(4, '\0');
}

struct Es {
    int type;
    std::string descriptors;
};

// PAT, PMT, then a video packet with an MPEG sequence header of width x height.
std::string transportStream(const std::vector<Es>& streams, int width, int height, std::size_t stride = kPacket) {
    const std::string pat =
        section(0x00, bytes({0, 1, 0xC1, 0, 0}), bytes({0, 1, 0xE0 | (kPmtPid >> 8), kPmtPid & 0xFF}));
    std::string entries;
    int pid = kVideoPid;
    for (const Es& es : streams) {
        entries += bytes({es.type, 0xE0 | (pid >> 8), pid & 0xFF, 0xF0, static_cast<int>(es.descriptors.size())});
        entries += es.descriptors;
        ++pid;
    }
    const std::string pmt = section(0x02, bytes({0, 1, 0xC1, 0, 0, 0xE1, 0x00, 0xF0, 0}), entries);
    const std::string picture = bytes({0, 0, 1, 0xE0, 0, 0, 0x80, 0, 0, 0, 0, 1, 0xB3, width >> 4,
                                       ((width & 0xF) << 4) | (height >> 8), height & 0xFF, 0x33});
    return packet(0, pat, stride) + packet(kPmtPid, pmt, stride) + packet(kVideoPid, picture, stride);
}

std::vector<std::string> command(const std::string& name, const MediaInfo& info) {
    return FfmpegCommand::build(TranscodeRequest{"ffmpeg", name, 0, 1}, info);
}

MediaInfo media(std::vector<std::pair<const char*, const char*>> streams, int width = 720, int height = 576) {
    MediaInfo info;
    for (const auto& [kind, codec] : streams) {
        StreamInfo s;
        s.kind = kind;
        s.codec = codec;
        if (s.kind == "video") {
            s.width = width;
            s.height = height;
        }
        info.streams.push_back(s);
    }
    return info;
}

TEST(SniffTest, TheFirstBytesMakeTheCommandTheProbesFindingsMake) {
    const std::string ac3 = bytes({0x6A, 1, 0});
    const std::string teletext = bytes({0x56, 5, 'd', 'e', 'u', 0x09, 0x00});
    const std::string pack = bytes({0, 0, 1, 0xBA, 0x44, 0, 4, 0, 4, 1, 1, 0x89, 0xC3, 0xF8});
    const std::string program = pack + bytes({0, 0, 1, 0xE0, 0, 20, 0x81, 0x80, 0, 0, 0, 1, 0xB3, 0x2D, 0x02, 0x40}) +
                                bytes({0, 0, 1, 0xBD, 0, 10, 0x81, 0x80, 0, 0x80, 1, 0, 1});
    const std::tuple<const char*, std::string, MediaInfo> cases[] = {
        {"MPEG-2 and MPEG audio: remuxed", transportStream({{0x02, ""}, {0x03, ""}}, 720, 576),
         media({{"video", "mpeg2video"}, {"audio", "mp2"}})},
        {"H.264 and AAC", transportStream({{0x1B, ""}, {0x0F, ""}}, 1920, 1080),
         media({{"video", "h264"}, {"audio", "aac"}}, 1920, 1080)},
        {"HD MPEG-2, DVB AC-3", transportStream({{0x02, ""}, {0x06, ac3}}, 1920, 1080),
         media({{"video", "mpeg2video"}, {"audio", "ac3"}}, 1920, 1080)},
        {"teletext is no audio", transportStream({{0x02, ""}, {0x06, teletext}}, 720, 576),
         media({{"video", "mpeg2video"}})},
        {"M2TS packets", transportStream({{0x02, ""}, {0x81, ""}}, 720, 480, 192),
         media({{"video", "mpeg2video"}, {"audio", "ac3"}}, 720, 480)},
        {"program stream, DVD AC-3", program, media({{"video", "mpeg2video"}, {"audio", "ac3"}})},
    };
    for (const auto& [what, head, probed] : cases) {
        MediaInfo sniffed;
        ASSERT_TRUE(SourceSniff::transportStream(head, sniffed) || SourceSniff::programStream(head, sniffed)) << what;
        EXPECT_EQ(command("/m/a.ts", sniffed), command("/m/a.ts", probed)) << what;
    }
    MediaInfo untouched;
    for (const std::string& other : {std::string(2 * kPacket, 'G'), std::string("ftypisom") + std::string(400, 0),
                                     packet(0, "") + packet(0, "") + std::string(10, 'x')}) {
        EXPECT_FALSE(SourceSniff::transportStream(other, untouched) || SourceSniff::programStream(other, untouched));
    }
}

// A real recording gives what ffprobe finds; an MP4 is not sniffed (its name decides).
TEST(SniffTest, ARealRecordingSniffsAsItProbes) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string ts = test::place(dir, "rec.ts", test::kClipTs);
    MediaInfo sniffed;
    MediaInfo probed;
    std::string error;
    ASSERT_TRUE(SourceSniff::sniff(ts, sniffed));
    ASSERT_TRUE(Probe().run(ts, probed, error)) << error;
    EXPECT_EQ(command(ts, sniffed), command(ts, probed));
    EXPECT_EQ(sniffed.firstVideo()->width, probed.firstVideo()->width);
    EXPECT_FALSE(SourceSniff::sniff(test::place(dir, "film.mp4", test::kClipMp4), sniffed));
}

}  // namespace
}  // namespace oxle::server
