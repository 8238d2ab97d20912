#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "server/AllowList.h"
#include "server/Options.h"

namespace oxle::server {

class PathGuard;
class DirectoryScanner;
class Probe;
class Player;
class PasswordGate;
class CommandHandler;
class CommandServer;
class StreamServer;

// The whole server: both ports, the player and what they share.
class ServerApp {
public:
    explicit ServerApp(Options options);
    ~ServerApp();
    ServerApp(const ServerApp&) = delete;
    ServerApp& operator=(const ServerApp&) = delete;

    // Opens both ports and starts serving; false with a diagnostic on failure.
    bool start(std::string& error);
    // Ends the session (killing ffmpeg), closes the ports and joins every thread.
    void stop();

    std::uint16_t commandPort() const;
    std::uint16_t streamPort() const;

private:
    bool writeReadyFile(std::string& error) const;

    const Options options_;
    AllowList allowed_;
    std::unique_ptr<PathGuard> guard_;
    std::unique_ptr<DirectoryScanner> scanner_;
    std::unique_ptr<Probe> probe_;
    std::unique_ptr<Player> player_;
    std::unique_ptr<PasswordGate> gate_;
    std::unique_ptr<CommandHandler> handler_;
    std::unique_ptr<CommandServer> commands_;
    std::unique_ptr<StreamServer> streams_;
    bool running_ = false;
};

}  // namespace oxle::server
