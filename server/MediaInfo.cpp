#include "server/MediaInfo.h"

#include <cctype>

namespace oxle::server {

namespace {

struct CodecName {
    const char* codec;
    const char* display;
};

constexpr CodecName kCodecNames[] = {
    {"h264", "H.264"},
    {"hevc", "H.265"},
    {"mpeg2video", "MPEG-2 Video"},
    {"mpeg1video", "MPEG-1 Video"},
    {"mpeg4", "MPEG-4 Visual"},
    {"msmpeg4v3", "DivX 3"},
    {"vp8", "VP8"},
    {"vp9", "VP9"},
    {"av1", "AV1"},
    {"wmv3", "WMV 9"},
    {"vc1", "VC-1"},
    {"mp2", "MPEG Audio Layer 2"},
    {"mp3", "MPEG Audio Layer 3"},
    {"ac3", "AC-3"},
    {"eac3", "E-AC-3"},
    {"aac", "AAC"},
    {"flac", "FLAC"},
    {"vorbis", "Vorbis"},
    {"opus", "Opus"},
    {"wmav2", "WMA 2"},
    {"dts", "DTS"},
};

}  // namespace

const StreamInfo* MediaInfo::firstVideo() const {
    for (const StreamInfo& stream : streams) {
        if (stream.kind == "video" && !stream.attachedPicture) return &stream;
    }
    return nullptr;
}

std::vector<const StreamInfo*> MediaInfo::audioStreams() const {
    std::vector<const StreamInfo*> audio;
    for (const StreamInfo& stream : streams) {
        if (stream.kind == "audio") audio.push_back(&stream);
    }
    return audio;
}

std::string MediaInfo::displayCodec(const std::string& codec) {
    for (const CodecName& entry : kCodecNames) {
        if (codec == entry.codec) return entry.display;
    }
    std::string upper = codec;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

std::string MediaInfo::resolutionText(const StreamInfo& stream) {
    if (stream.width <= 0 || stream.height <= 0) return std::string();
    return std::to_string(stream.width) + "x" + std::to_string(stream.height);
}

}  // namespace oxle::server
