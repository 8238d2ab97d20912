#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "server/Options.h"

namespace oxle::server {

// What `oxle_x86 --check` tells a user before the first start: each shared folder, ffmpeg
// and ffprobe with the encoders the box's format needs, both ports, the disc drive and the
// shutdown command, one verdict each, with the mend in plain words when it fails.
class ServerCheck {
public:
    struct Verdict {
        bool ok = false;
        std::string item;  // "root /srv/films", "ffmpeg", "command port 12050"
        std::string text;  // what was found, or what is wrong and how to mend it
    };

    // Folders and the drive are judged as `serviceUser` would see them when this runs as
    // root and that user exists, else as the user running the check.
    ServerCheck(const Options& options, std::string serviceUser);

    std::vector<Verdict> run() const;
    // One line per verdict; 0 when every one is OK, 1 otherwise.
    static int print(const std::vector<Verdict>& verdicts, std::FILE* out);

private:
    void checkConfig(std::vector<Verdict>& verdicts) const;
    void checkFolders(std::vector<Verdict>& verdicts) const;
    void checkFfmpeg(std::vector<Verdict>& verdicts) const;
    void checkPorts(std::vector<Verdict>& verdicts) const;
    void checkDrive(std::vector<Verdict>& verdicts) const;
    void checkShutdown(std::vector<Verdict>& verdicts) const;
    // Who reads: "the user oxle" or "you (root)"; empty uid when the check runs as itself.
    std::string reader() const;
    // Whether the reader may open `path` for reading (and list it, for a folder).
    bool readable(const std::string& path, bool folder) const;

    const Options& options_;
    std::string serviceUser_;
    bool asService_ = false;
};

}  // namespace oxle::server
