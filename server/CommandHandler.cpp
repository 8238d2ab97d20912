#include "server/CommandHandler.h"

#include <sys/stat.h>
#include <sys/wait.h>

#include <set>
#include <utility>

#include "server/ChildProcess.h"
#include "server/Disc.h"
#include "server/DiscLocation.h"
#include "server/FileInfo.h"
#include "server/Listing.h"
#include "server/Log.h"

namespace oxle::server {

namespace {

constexpr const char* kOk = "+ok";
constexpr const char* kFailed = "+nok";
constexpr const char* kVersion = "1.0.0";
constexpr int kShutdownWaitMs = 30000;

std::string argument(const Request& request, std::size_t index) {
    return index < request.args.size() ? request.args[index] : std::string();
}

std::vector<std::string> splitSpaces(const std::string& text) {
    std::vector<std::string> words;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t space = text.find(' ', start);
        const std::size_t end = space == std::string::npos ? text.size() : space;
        if (end > start) words.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

bool guarded(const Request& request) {
    // What reads or plays media or acts on the PC waits for the password; what the box
    // asks before it can know the password ("PSW", "SIP", "SEP", "SPO", "STA", "STD",
    // "CDD") stays open, and anything else is refused anyway.
    static const std::set<std::pair<std::string, std::string>> kGuarded = {
        {"VLC", "GFL"}, {"VLC", "MDI"}, {"VLC", "PLY"}, {"VLC", "GTI"}, {"VLC", "PAU"}, {"VLC", "FFW"},
        {"VLC", "REW"}, {"VLC", "NXT"}, {"VLC", "PRV"}, {"VLC", "STP"}, {"RQS", "NFO"}, {"RQS", "CLW"},
    };
    return kGuarded.count({request.group, request.command}) != 0;
}

}  // namespace

CommandHandler::CommandHandler(Config config, const PathGuard& guard, const DirectoryScanner& scanner,
                               const Probe& probe, Player& player, PasswordGate& gate)
    : config_(std::move(config)), guard_(guard), scanner_(scanner), probe_(probe), player_(player), gate_(gate) {}

std::string CommandHandler::description() { return std::string("oxle_x86 ") + kVersion + " (ffmpeg)"; }

std::string CommandHandler::handle(const Request& request, const Origin& origin) {
    if (guarded(request) && !gate_.allowed(origin.peer)) {
        refusals_.refuse(origin.peer, request.group + "|" + request.command + " without the password");
        // The box reads an empty listing as an empty folder; everything else fails.
        const bool listing = request.group == "VLC" && (request.command == "GFL" || request.command == "MDI");
        return listing ? Listing::emptyDocument() : kFailed;
    }
    if (request.group == "VLC") return handlePlayer(request, origin);
    if (request.group == "RQS") return handleServer(request, origin);
    Log::info("unknown command group \"" + request.group + "\" from " + origin.peer);
    return kFailed;
}

std::string CommandHandler::handlePlayer(const Request& request, const Origin& origin) {
    const std::string& command = request.command;
    if (command == "GFL") return scanner_.listDocument(argument(request, 0));
    if (command == "MDI") {
        if (config_.mediaDir.empty()) {
            Log::info("media directory asked for, but none is configured");
            return Listing::emptyDocument();
        }
        return scanner_.listDocument(config_.mediaDir);
    }
    if (command == "GTI") return player_.status().document();
    if (command == "PLY") {
        long offset = 0;
        long channel = 0;
        if (!RequestParser::parseInt(argument(request, 1), offset) ||
            !RequestParser::parseInt(argument(request, 2), channel)) {
            Log::info("PLY from " + origin.peer + " with an unreadable offset or channel");
            return kFailed;
        }
        return player_.play(argument(request, 0), static_cast<int>(offset), static_cast<int>(channel)) ? kOk : kFailed;
    }
    if (command == "STP") {
        player_.stop();
        return kOk;
    }
    if (command == "PAU") return player_.togglePause() ? kOk : kFailed;
    if (command == "STA") {
        if (player_.resetStuck()) return kOk;
        Log::info("status request: the transcoder cannot be run");
        return kFailed;
    }
    if (command == "REW" || command == "FFW") {
        long minutes = 0;
        if (!RequestParser::parseInt(argument(request, 0), minutes) || minutes < 0) {
            Log::info(command + " with an unreadable step \"" + argument(request, 0) + "\"");
            return kFailed;
        }
        return player_.seek(static_cast<int>(command == "REW" ? -minutes : minutes)) ? kOk : kFailed;
    }
    if (command == "NXT") return player_.skip(1) ? kOk : kFailed;
    if (command == "PRV") return player_.skip(-1) ? kOk : kFailed;
    Log::info("unknown command VLC|" + command + " from " + origin.peer);
    return kFailed;
}

std::string CommandHandler::handleServer(const Request& request, const Origin& origin) {
    const std::string& command = request.command;
    if (command == "SIP") return origin.local;
    if (command == "SEP") return description();
    if (command == "SPO") return std::to_string(streamPort_.load());
    if (command == "STD") return guard_.roots().empty() ? std::string() : guard_.roots().front();
    if (command == "CDD") return config_.cdDrive;
    if (command == "PSW") {
        switch (gate_.attempt(origin.peer, argument(request, 0))) {
            case PasswordGate::Answer::Granted: return kOk;
            case PasswordGate::Answer::Wrong: Log::info("wrong password from " + origin.peer); break;
            case PasswordGate::Answer::Throttled: refusals_.refuse(origin.peer, "too many wrong passwords"); break;
        }
        return kFailed;
    }
    if (command == "NFO") return fileInformation(argument(request, 0));
    if (command == "CLW") return shutDownComputer(origin);
    Log::info("unknown command RQS|" + command + " from " + origin.peer);
    return kFailed;
}

std::string CommandHandler::fileInformation(const std::string& clientPath) {
    if (DiscLocation::isDisc(clientPath)) return discInformation(clientPath);
    const std::string path = RequestParser::undoubleBackslashes(clientPath);
    std::string canonical;
    std::string why;
    if (!guard_.resolve(path, canonical, why)) {
        Log::info("file information for \"" + clientPath + "\" refused: " + why);
        return kFailed;
    }
    struct stat info {};
    if (::stat(canonical.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return "Folder: " + canonical + "\n";
    MediaInfo media;
    if (!probe_.run(canonical, media, why)) {
        Log::info("file information for " + canonical + ": " + why);
        return kFailed;
    }
    return FileInfo::text(canonical, media);
}

std::string CommandHandler::discInformation(const std::string& location) {
    DiscLocation parsed;
    DiscTitle title;
    std::string why;
    if (!DiscLocation::parse(location, config_.cdDrive, parsed, why) ||
        !Disc::open(parsed.kind, parsed.drive, parsed.title, title, why)) {
        Log::info("file information for \"" + location + "\" refused: " + why);
        return kFailed;
    }
    return FileInfo::disc(location, title);
}

std::string CommandHandler::shutDownComputer(const Origin& origin) {
    if (config_.shutdownCommand.empty()) {
        Log::info("shutdown asked by " + origin.peer + " refused: no --shutdown-command given");
        return kFailed;
    }
    Log::info("shutdown asked by " + origin.peer + ": running " + config_.shutdownCommand);
    ChildProcess command;
    std::string why;
    if (!command.start(ChildProcess::Launch(splitSpaces(config_.shutdownCommand)), why)) {
        Log::info("shutdown command failed: " + why);
        return kFailed;
    }
    int status = 0;
    if (!command.waitFor(kShutdownWaitMs, status) || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        Log::info("shutdown command ended with " + ChildProcess::describeStatus(status));
        return kFailed;
    }
    return kOk;
}

}  // namespace oxle::server
