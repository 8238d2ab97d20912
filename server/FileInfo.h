#pragma once

#include <string>

#include "server/MediaInfo.h"

namespace oxle::server {

// The plain text the box shows for "NFO": container, length, size, one line per stream.
class FileInfo {
public:
    static std::string text(const std::string& path, const MediaInfo& info);
    // "H:MM:SS"
    static std::string duration(double seconds);
};

}  // namespace oxle::server
