#include "server/StreamServer.h"

#include "FdIo.h"
#include "server/HttpRequest.h"
#include "server/Log.h"
#include "server/NetUtil.h"

namespace oxle::server {

namespace {

constexpr std::size_t kMaxConnections = 16;
constexpr std::size_t kMaxHeadBytes = 8 * 1024;
constexpr std::size_t kHeadReadBytes = 1024;
constexpr int kHeadTimeoutMs = 5000;
constexpr const char* kStreamTarget = "/dboxstream";

}  // namespace

StreamServer::StreamServer(Player& player)
    : player_(player),
      server_(
          "stream port", [this](int fd, const std::string& peer) { serve(fd, peer); }, kMaxConnections) {}

void StreamServer::serve(int fd, const std::string& peer) {
    std::string head;
    char buffer[kHeadReadBytes];
    while (!HttpRequest::headComplete(head)) {
        const long got = NetUtil::readSome(fd, buffer, sizeof buffer, kHeadTimeoutMs);
        if (got <= 0) {
            Log::info("stream connection from " + peer + " dropped: no complete request");
            return;
        }
        head.append(buffer, static_cast<std::size_t>(got));
        if (head.size() > kMaxHeadBytes) {
            Log::info("stream connection from " + peer + " dropped: request head too long");
            return;
        }
    }
    std::string method;
    std::string target;
    if (!HttpRequest::parseRequestLine(head, method, target) || method != "GET" || target != kStreamTarget) {
        Log::info("stream request from " + peer + " answered 404: \"" + head.substr(0, head.find('\r')) + "\"");
        fdio::writeAll(fd, HttpRequest::kNotFound);
        return;
    }
    player_.serveStream(fd, peer);
}

}  // namespace oxle::server
