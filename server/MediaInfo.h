#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace oxle::server {

struct StreamInfo {
    std::string kind;   // "video", "audio", "subtitle", ...
    std::string codec;  // ffprobe's codec name, e.g. "h264"
    std::string language;
    int width = 0;
    int height = 0;
    int channels = 0;
    int sampleRate = 0;
    bool attachedPicture = false;  // cover art: a still, not a video to play
};

// What ffprobe tells about a source.
struct MediaInfo {
    std::string container;
    double durationSeconds = 0.0;
    std::uint64_t sizeBytes = 0;
    std::vector<StreamInfo> streams;

    // The first stream that is real moving video, or null.
    const StreamInfo* firstVideo() const;
    std::vector<const StreamInfo*> audioStreams() const;

    // Human text for a codec name: "H.264", "MPEG-2 Video", or the name upper-cased.
    static std::string displayCodec(const std::string& codec);
    // "1280x720", empty when unknown.
    static std::string resolutionText(const StreamInfo& stream);
};

}  // namespace oxle::server
