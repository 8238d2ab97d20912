#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "server/DirectoryScanner.h"
#include "server/PasswordGate.h"
#include "server/PathGuard.h"
#include "server/Player.h"
#include "server/Probe.h"
#include "server/RefusalLog.h"
#include "server/RequestParser.h"

namespace oxle::server {

// Answers one parsed request of the command port.
class CommandHandler {
public:
    struct Config {
        std::string mediaDir;         // empty: none
        std::string cdDrive;          // empty: none
        std::string shutdownCommand;  // empty: "CLW" is refused
    };

    // Who asked and on which of our addresses: "SIP" and the password gate need them.
    struct Origin {
        std::string peer;
        std::string local;
    };

    CommandHandler(Config config, const PathGuard& guard, const DirectoryScanner& scanner, const Probe& probe,
                   Player& player, PasswordGate& gate);

    void setStreamPort(std::uint16_t port) { streamPort_ = port; }
    std::string handle(const Request& request, const Origin& origin);

    static std::string description();

private:
    std::string handlePlayer(const Request& request, const Origin& origin);
    std::string handleServer(const Request& request, const Origin& origin);
    std::string fileInformation(const std::string& clientPath);
    std::string discInformation(const std::string& location);
    std::string shutDownComputer(const Origin& origin);

    const Config config_;
    const PathGuard& guard_;
    const DirectoryScanner& scanner_;
    const Probe& probe_;
    Player& player_;
    PasswordGate& gate_;
    RefusalLog refusals_{"command port"};
    // Set once the stream port is open; the command threads read it.
    std::atomic<std::uint16_t> streamPort_{0};
};

}  // namespace oxle::server
