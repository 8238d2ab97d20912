#pragma once

#include <memory>
#include <string>
#include <vector>

#include "server/ChildProcess.h"
#include "server/FfmpegCommand.h"
#include "server/MediaInfo.h"

namespace oxle::server {

// Starts ffmpeg, the program that turns a source into the box's transport stream, with
// its output and diagnostics on pipes for the stream pump. Holds no state beyond the
// program's name, so any thread may use it.
class Transcoder {
public:
    // An ffmpeg started on what the source's name and first bytes suggest, while ffprobe
    // still runs.
    struct Guess {
        std::shared_ptr<ChildProcess> process;  // none when it could not start
        MediaInfo info;                         // what was assumed
        std::vector<std::string> argv;
    };

    explicit Transcoder(std::string ffmpeg) : ffmpeg_(std::move(ffmpeg)) {}

    // Whether the program can be run at all: found through PATH, or a given executable file.
    bool usable() const;

    // ffmpeg and ffprobe each take a good tenth of a second just to load; starting
    // ffmpeg on a guess lets both load side by side.
    Guess guess(const std::string& path, int startSeconds, int audioChannel) const;
    // Whether what the probe found makes the command that was guessed.
    bool agrees(const Guess& guessed, const std::string& path, const MediaInfo& info, int startSeconds,
                int audioChannel) const;

    std::shared_ptr<ChildProcess> start(const std::string& path, const MediaInfo& info, int startSeconds,
                                        int audioChannel, std::string& why) const;

    // ffmpeg reading a disc title's program stream from a pipe, for a feed to fill.
    std::shared_ptr<ChildProcess> startDisc(const DiscTitle& title, int audioChannel, std::string& why) const;

    // One log line naming the process, the source, where it starts and how it converts.
    static void announce(const ChildProcess& process, const std::string& path, const MediaInfo& info, int startSeconds,
                         int audioChannel, bool guessed = false);

private:
    TranscodeRequest request(const std::string& path, int startSeconds, int audioChannel) const;

    const std::string ffmpeg_;
};

}  // namespace oxle::server
