#pragma once

#include <string>

#include "server/MediaInfo.h"

namespace oxle::server {

// Asks ffprobe about a source: container, length, size and streams.
class Probe {
public:
    explicit Probe(std::string ffprobePath = "ffprobe") : ffprobe_(std::move(ffprobePath)) {}

    bool run(const std::string& path, MediaInfo& info, std::string& error) const;
    const std::string& program() const { return ffprobe_; }

    // Reads ffprobe's JSON (-show_format -show_streams). Pure, for tests.
    static bool parseJson(const std::string& json, MediaInfo& info, std::string& error);

private:
    std::string ffprobe_;
};

}  // namespace oxle::server
