#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>

#include "server/AllowList.h"
#include "server/Options.h"

namespace oxle::server {

namespace {

constexpr int kMaxPort = 65535;
constexpr int kExitUsage = 2;
constexpr const char* kDefaultDrive = "/dev/sr0";
// A line never holds one, so no value is split or cut short at it.
constexpr char kNoArray = '\n';

constexpr const char* kFooter =
    "Ports: --port 0 and --stream-port 0 let the system pick free ports. Once both ports\n"
    "listen, a line \"listening command=PORT stream=PORT\" goes to standard error, and\n"
    "--ready-file PATH receives \"COMMAND_PORT STREAM_PORT\".\n"
    "Without --stream-port the stream port is the command port + 1 (a free one with --port 0).\n"
    "Network: both ports listen on every address of this PC unless --bind names one; a\n"
    "server the box reaches over the LAN needs that. --allow answers only the client\n"
    "networks it names and closes other connections at once. --password guards listings,\n"
    "file information, playback and its controls, the stream and shutting the PC down;\n"
    "what the box asks before it can send the password stays open.\n"
    "Configuration: --config FILE (default /etc/oxle/oxle_x86.conf when it exists) holds\n"
    "\"key = value\" lines named like the long options (root = /srv/films, one line per\n"
    "folder); options on the command line win over the file. --check judges the\n"
    "configuration, prints one line per item and exits 0 only when all is well.";

bool isDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// A file that exists but cannot be read would otherwise be skipped without a word, and the
// server would start with none of its settings.
bool unreadableDefault(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && ::access(path.c_str(), R_OK) != 0;
}

int usage(std::string& message, const std::string& text) {
    message = text + "\nRun with --help for more information.";
    return kExitUsage;
}

}  // namespace

int Options::effectiveStreamPort() const {
    if (streamPort >= 0) return streamPort;
    return port == 0 ? 0 : port + 1;
}

std::string Options::effectiveFfprobe() const {
    if (!ffprobe.empty()) return ffprobe;
    const std::size_t slash = ffmpeg.rfind('/');
    if (slash == std::string::npos) return "ffprobe";
    return ffmpeg.substr(0, slash + 1) + "ffprobe";
}

std::string Options::effectiveCdDrive() const {
    struct stat info {};
    if (!cdDrive.empty() || ::stat(kDefaultDrive, &info) != 0) return cdDrive;
    return kDefaultDrive;
}

int CommandLine::parse(int argc, char** argv, Options& options, std::string& message,
                       const std::string& defaultConfig) {
    CLI::App app{"oxle_x86: lists a PC's media folders to the box and streams them as MPEG transport streams"};
    app.footer(kFooter);
    CLI::Option* config =
        app.set_config("--config", defaultConfig, "configuration file (default: " + defaultConfig + " when it exists)");
    // A misspelt key in the file must not pass unnoticed.
    app.allow_config_extras(CLI::config_extras_mode::error);
    // One value a line, taken whole: a folder or a command may hold spaces and commas, a
    // password '#'. Comments stand on lines of their own; folders repeat the key.
    auto format = std::make_shared<CLI::ConfigTOML>();
    format->arrayBounds(kNoArray, kNoArray)->comment(kNoArray);
    app.config_formatter(format);
    app.add_flag("--check", options.check, "check the configuration, ffmpeg, the ports and the drive, then exit")
        ->configurable(false);
    app.add_option("--root", options.roots, "folder to share (repeatable; the first is the start folder)");
    app.add_option("--media-dir", options.mediaDir, "folder listed for the box's media-folder option");
    app.add_option("--cd-drive", options.cdDrive,
                   "disc the box may play: a drive (/dev/sr0, the default when it exists), a DVD's folder or "
                   "VIDEO_TS, a DVD .iso, or an (S)VCD's .cue or .bin");
    app.add_option("--port", options.port, "command port (0: any free port)")
        ->capture_default_str()
        ->check(CLI::Range(0, kMaxPort));
    app.add_option("--stream-port", options.streamPort, "HTTP stream port (0: any free port)")
        ->check(CLI::Range(0, kMaxPort));
    app.add_option("--bind", options.bind, "IPv4 address to listen on (default: every address)")->capture_default_str();
    app.add_option("--allow", options.allow,
                   "client network to answer, a.b.c.d/n or a.b.c.d (repeatable; default: every client)")
        ->check(CLI::Validator(
            [](std::string& text) {
                AllowList::Network network;
                std::string why;
                return AllowList::parseNetwork(text, network, why) ? std::string() : why;
            },
            "CIDR"));
    app.add_option("--password", options.password,
                   "password the box must send before it may list, play, steer or shut down");
    app.add_option("--shutdown-command", options.shutdownCommand,
                   "command (split at spaces, no shell) run when the box asks to shut the PC down");
    app.add_option("--ffmpeg", options.ffmpeg, "ffmpeg program")->capture_default_str();
    app.add_option("--ffprobe", options.ffprobe, "ffprobe program (default: beside --ffmpeg)");
    app.add_option("--ready-file", options.readyFile, "file that receives the ports once listening");
    app.add_flag("--verbose", options.verbose, "log every request");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        message = app.help();
        return 0;
    } catch (const CLI::ParseError& error) {
        return usage(message, error.what());
    }
    if (config->count() == 0 && unreadableDefault(defaultConfig)) {
        return usage(message, "cannot read the configuration file " + defaultConfig +
                                  " (it may hold the password): run as root or as the user oxle");
    }
    // Counted when given, or when the default was found and read.
    if (config->count() > 0) options.configFile = config->as<std::vector<std::string>>().front();
    // Folders are judged here, not by CLI11, so that --check can name a missing one in its own words.
    if (options.check) return -1;
    if (options.roots.empty()) {
        return usage(message,
                     "no folder to share: give --root DIR, or a line \"root = DIR\" in the configuration file");
    }
    std::vector<std::string> folders = options.roots;
    if (!options.mediaDir.empty()) folders.push_back(options.mediaDir);
    for (const std::string& folder : folders) {
        if (!isDirectory(folder)) return usage(message, "not a folder: " + folder);
    }
    return -1;
}

}  // namespace oxle::server
