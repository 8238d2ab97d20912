#pragma once

#include <string>

#include "server/MediaInfo.h"

namespace oxle::server {

// What the first bytes of an MPEG transport or program stream say about its streams: for
// the command ffmpeg starts with while ffprobe still runs. Recordings named .ts hold
// H.264 as often as MPEG-2 today, and a copy of the wrong one is no picture at all.
class SourceSniff {
public:
    // How much of a source is read: enough for the tables and, mostly, a sequence header.
    static constexpr std::size_t kHeadBytes = 256 * 1024;

    // False when the file is neither, or says too little; `info` is then untouched.
    static bool sniff(const std::string& path, MediaInfo& info);

    // Pure, for tests: the streams a transport stream's first program table lists (188- or
    // 192-byte packets), and the picture size of MPEG video when a sequence header comes.
    static bool transportStream(const std::string& head, MediaInfo& info);
    // The video and MPEG audio streams a program stream's packets start; its pack header
    // tells MPEG-1 from MPEG-2.
    static bool programStream(const std::string& head, MediaInfo& info);
};

}  // namespace oxle::server
