#pragma once

#include <string>

#include "server/MediaInfo.h"

namespace oxle::server {

// Asks ffprobe about a source: container, length, size and streams.
class Probe {
public:
    explicit Probe(std::string ffprobePath = "ffprobe") : ffprobe_(std::move(ffprobePath)) {}

    // `cancelFd`, when readable, ends the probe early as a failure. A `niceness` above 0
    // lets whatever else starts at the same time (ffmpeg) go first on a busy machine.
    bool run(const std::string& path, MediaInfo& info, std::string& error, int cancelFd = -1, int niceness = 0) const;
    const std::string& program() const { return ffprobe_; }

    // Reads ffprobe's JSON (-show_format -show_streams). Pure, for tests.
    static bool parseJson(const std::string& json, MediaInfo& info, std::string& error);

private:
    std::string ffprobe_;
};

}  // namespace oxle::server
