#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace oxle::server {

struct Options {
    static constexpr std::uint16_t kDefaultPort = 12050;

    std::vector<std::string> roots;
    std::string mediaDir;
    std::string cdDrive;
    int port = kDefaultPort;
    int streamPort = -1;             // -1: the command port + 1, or any free port when that is 0
    std::string bind = "0.0.0.0";    // every address: the box is on the LAN
    std::vector<std::string> allow;  // client networks answered; empty: every client
    std::string password;
    std::string shutdownCommand;
    std::string ffmpeg = "ffmpeg";
    std::string ffprobe;  // empty: beside --ffmpeg, or from PATH
    std::string readyFile;
    bool verbose = false;
    bool check = false;      // --check: judge the configuration, serve nothing
    std::string configFile;  // the configuration file that was read; empty: none
    // Not on the command line: tests shorten these waits.
    int waitForPlayMs = 10000;
    int attachTimeoutMs = 30000;

    int effectiveStreamPort() const;
    std::string effectiveFfprobe() const;
    // The drive named, else the PC's first optical drive when it has one.
    std::string effectiveCdDrive() const;
};

// Reads the command line and the configuration file under it: --config FILE, else
// `defaultConfig` when that exists. The file's keys are the long options' names; what the
// command line gives wins. Returns -1 to go on, otherwise the exit code (0 after --help).
class CommandLine {
public:
    static constexpr const char* kDefaultConfig = "/etc/oxle/oxle_x86.conf";

    static int parse(int argc, char** argv, Options& options, std::string& message,
                     const std::string& defaultConfig = kDefaultConfig);
};

}  // namespace oxle::server
