#pragma once

#include <string>
#include <vector>

#include "server/DiscTitle.h"
#include "server/MediaInfo.h"

namespace oxle::server {

// How a source becomes the transport stream an SD MPEG-2 decoder plays.
enum class StreamPlan {
    Transcode,  // MPEG-2 video 720x576/25, MPEG-1 layer II audio
    Remux,      // already MPEG-2 and MPEG/AC-3 audio: copied
    AudioOnly,  // MPEG-1 layer II audio alone, PES stream 0xC0
};

struct TranscodeRequest {
    std::string ffmpeg = "ffmpeg";
    std::string input;
    int startSeconds = 0;
    int audioChannel = 1;  // 1-based, as the box counts
};

// Builds ffmpeg's argument vector. Pure, so that every choice is testable without ffmpeg.
class FfmpegCommand {
public:
    static StreamPlan plan(const std::string& name, const MediaInfo& info);
    // Index among the source's audio streams: the chosen channel when it exists, else 0.
    static int audioIndex(const MediaInfo& info, int audioChannel);
    static std::vector<std::string> build(const TranscodeRequest& request, const MediaInfo& info);
    // For a disc title's program stream on standard input: a DVD's MPEG-2 video and its
    // AC-3 or MPEG audio are copied (other audio becomes MPEG audio); an (S)VCD's video is
    // made 720x576 MPEG-2 and its MPEG audio copied. Subtitles stay out.
    static std::vector<std::string> buildDisc(const std::string& ffmpeg, const DiscTitle& title, int audioChannel);
    // Whether buildDisc copies the video.
    static bool discRemux(const DiscTitle& title);
    // What a source of this name most likely holds, for starting ffmpeg while ffprobe
    // still runs: video extensions a video and enough audio tracks, remuxable containers
    // MPEG-2 with MPEG audio, audio extensions audio alone.
    static MediaInfo guess(const std::string& name, int audioChannel);
};

}  // namespace oxle::server
