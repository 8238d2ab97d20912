#include "server/StreamServer.h"

#include "FdIo.h"
#include "MonotonicMs.h"
#include "server/HttpRequest.h"
#include "server/NetUtil.h"

namespace oxle::server {

namespace {

constexpr std::size_t kMaxHeadBytes = 8 * 1024;
constexpr std::size_t kHeadReadBytes = 1024;
constexpr int kHeadTimeoutMs = 5000;
constexpr int kStreamMillisPerSecond = 1000;
constexpr const char* kStreamTarget = "/dboxstream";

}  // namespace

StreamServer::StreamServer(Player& player, PasswordGate& gate, const AllowList& allowed)
    : player_(player),
      gate_(gate),
      server_(
          "stream port", [this](int fd, const std::string& peer) { serve(fd, peer); }, kLimits, allowed) {}

void StreamServer::serve(int fd, const std::string& peer) {
    std::string head;
    char buffer[kHeadReadBytes];
    // One deadline for the whole head, however slowly it trickles in.
    const long long deadline = monotonicMs() + kHeadTimeoutMs;
    while (!HttpRequest::headComplete(head)) {
        const long long left = deadline - monotonicMs();
        const long got =
            left <= 0 ? NetUtil::kReadTimedOut : NetUtil::readSome(fd, buffer, sizeof buffer, static_cast<int>(left));
        if (got <= 0) {
            refusals_.refuse(
                peer, "no complete request within " + std::to_string(kHeadTimeoutMs / kStreamMillisPerSecond) + " s");
            return;
        }
        head.append(buffer, static_cast<std::size_t>(got));
        if (head.size() > kMaxHeadBytes) {
            refusals_.refuse(peer, "request head too long");
            return;
        }
    }
    std::string method;
    std::string target;
    if (!HttpRequest::parseRequestLine(head, method, target) || method != "GET" || target != kStreamTarget) {
        refusals_.refuse(peer, "404 for \"" + head.substr(0, head.find('\r')) + "\"");
        fdio::writeAll(fd, HttpRequest::kNotFound);
        return;
    }
    if (!gate_.allowed(peer)) {
        refusals_.refuse(peer, "403: a stream without the password");
        fdio::writeAll(fd, HttpRequest::kForbidden);
        return;
    }
    player_.serveStream(fd, peer);
}

}  // namespace oxle::server
