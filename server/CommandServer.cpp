#include "server/CommandServer.h"

#include "FdIo.h"
#include "server/Log.h"
#include "server/NetUtil.h"
#include "server/RequestParser.h"

namespace oxle::server {

namespace {

constexpr std::size_t kMaxConnections = 64;
// No TCP segment is smaller than this unless it ends what was sent.
constexpr std::size_t kMinimumSegment = 536;
constexpr int kRestOfRequestMs = 50;
constexpr std::size_t kReadChunk = 16 * 1024;
constexpr std::size_t kLoggedRequestBytes = 200;
constexpr int kMillisPerSecond = 1000;

}  // namespace

CommandServer::CommandServer(CommandHandler& handler)
    : handler_(handler),
      server_(
          "command port", [this](int fd, const std::string& peer) { serve(fd, peer); }, kMaxConnections) {}

bool CommandServer::readRequest(int fd, std::string& request, std::string& why) {
    request.clear();
    char buffer[kReadChunk];
    int timeoutMs = kIdleTimeoutMs;
    while (true) {
        const long got = NetUtil::readSome(fd, buffer, sizeof buffer, timeoutMs);
        if (got == NetUtil::kReadTimedOut) {
            if (!request.empty()) return true;  // the rest never came: what we have is all
            why = "sent nothing for " + std::to_string(kIdleTimeoutMs / kMillisPerSecond) + " s";
            return false;
        }
        if (got < 0) {
            why = "read failed";
            return false;
        }
        if (got == 0) {
            if (request.empty()) {
                why = "closed without a request";
                return false;
            }
            return true;
        }
        request.append(buffer, static_cast<std::size_t>(got));
        if (request.size() > kMaxRequestBytes) {
            why = "request over " + std::to_string(kMaxRequestBytes) + " bytes";
            return false;
        }
        if (static_cast<std::size_t>(got) < kMinimumSegment) return true;
        timeoutMs = kRestOfRequestMs;
    }
}

void CommandServer::serve(int fd, const std::string& peer) {
    std::string wire;
    std::string why;
    if (!readRequest(fd, wire, why)) {
        Log::info("command connection from " + peer + " dropped: " + why);
        return;
    }
    const ParseResult parsed = RequestParser::parse(wire);
    std::string reply;
    if (!parsed.ok) {
        Log::info("bad request from " + peer + " (" + parsed.error + "): \"" + wire.substr(0, kLoggedRequestBytes) +
                  "\"");
        reply = "+nok";
    } else {
        CommandHandler::Origin origin{peer, NetUtil::localAddress(fd)};
        reply = handler_.handle(parsed.request, origin);
    }
    Log::debug(peer + " \"" + wire.substr(0, kLoggedRequestBytes) + "\" -> " + std::to_string(reply.size()) + " bytes");
    if (!fdio::writeAll(fd, reply)) Log::info("reply to " + peer + " lost: the client went away");
}

}  // namespace oxle::server
