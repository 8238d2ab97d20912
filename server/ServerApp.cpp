#include "server/ServerApp.h"

#include <sys/stat.h>

#include <cstdio>
#include <fstream>

#include "server/CommandHandler.h"
#include "server/CommandServer.h"
#include "server/DirectoryScanner.h"
#include "server/Log.h"
#include "server/PasswordGate.h"
#include "server/PathGuard.h"
#include "server/Player.h"
#include "server/Probe.h"
#include "server/StreamServer.h"

namespace oxle::server {

ServerApp::ServerApp(Options options) : options_(std::move(options)) {}

ServerApp::~ServerApp() { stop(); }

std::uint16_t ServerApp::commandPort() const { return commands_ ? commands_->port() : 0; }

std::uint16_t ServerApp::streamPort() const { return streams_ ? streams_->port() : 0; }

bool ServerApp::start(std::string& error) {
    Log::setVerbose(options_.verbose);
    std::vector<std::string> shared = options_.roots;
    if (!options_.mediaDir.empty()) shared.push_back(options_.mediaDir);
    guard_ = std::make_unique<PathGuard>();
    if (!PathGuard::create(shared, *guard_, error)) return false;

    scanner_ = std::make_unique<DirectoryScanner>(*guard_);
    probe_ = std::make_unique<Probe>(options_.effectiveFfprobe());
    Player::Settings settings;
    settings.ffmpeg = options_.ffmpeg;
    settings.waitForPlayMs = options_.waitForPlayMs;
    settings.attachTimeoutMs = options_.attachTimeoutMs;
    settings.cdDrive = options_.effectiveCdDrive();
    player_ = std::make_unique<Player>(settings, *guard_, *scanner_, *probe_);
    for (const std::string& network : options_.allow) {
        if (!allowed_.add(network, error)) return false;
    }
    gate_ = std::make_unique<PasswordGate>(options_.password);
    CommandHandler::Config config;
    config.mediaDir = options_.mediaDir;
    config.cdDrive = settings.cdDrive;
    config.shutdownCommand = options_.shutdownCommand;
    handler_ = std::make_unique<CommandHandler>(config, *guard_, *scanner_, *probe_, *player_, *gate_);
    commands_ = std::make_unique<CommandServer>(*handler_, allowed_);
    streams_ = std::make_unique<StreamServer>(*player_, *gate_, allowed_);

    if (!commands_->listen(options_.bind, static_cast<std::uint16_t>(options_.port), error)) return false;
    if (!streams_->listen(options_.bind, static_cast<std::uint16_t>(options_.effectiveStreamPort()), error)) {
        return false;
    }
    handler_->setStreamPort(streams_->port());
    if (!player_->transcoderUsable()) {
        Log::info("warning: " + options_.ffmpeg + " cannot be run; playback will fail until it can");
    }
    player_->start();
    commands_->start();
    streams_->start();
    running_ = true;
    for (const std::string& root : guard_->roots()) Log::info("sharing " + root);
    for (const std::string& network : options_.allow) Log::info("answering clients in " + network);
    // The ready file first: whoever reacts to the log line finds it complete.
    if (!writeReadyFile(error)) return false;
    Log::info("listening command=" + std::to_string(commandPort()) + " stream=" + std::to_string(streamPort()));
    return true;
}

bool ServerApp::writeReadyFile(std::string& error) const {
    if (options_.readyFile.empty()) return true;
    // Written whole under another name and renamed, so a reader never sees half of it.
    const std::string temporary = options_.readyFile + ".tmp";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << commandPort() << ' ' << streamPort() << '\n';
        if (!out.flush()) {
            error = "cannot write " + temporary;
            return false;
        }
    }
    if (std::rename(temporary.c_str(), options_.readyFile.c_str()) != 0) {
        error = "cannot rename " + temporary + " to " + options_.readyFile;
        return false;
    }
    return true;
}

void ServerApp::stop() {
    if (player_) player_->shutdown();
    if (commands_) commands_->stop();
    if (streams_) streams_->stop();
    if (running_) Log::info("stopped");
    running_ = false;
}

}  // namespace oxle::server
