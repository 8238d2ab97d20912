#pragma once

#include <string>

#include "server/DiscTitle.h"
#include "server/MediaInfo.h"

namespace oxle::server {

// The plain text the box shows for "NFO": container, length, size, one line per stream.
class FileInfo {
public:
    static std::string text(const std::string& path, const MediaInfo& info);
    // A disc title: the disc's kind and title count, the title's chapters (entries) with
    // their lengths, its video and its audio streams with their languages.
    static std::string disc(const std::string& location, const DiscTitle& title);
    // "H:MM:SS"
    static std::string duration(double seconds);
};

}  // namespace oxle::server
