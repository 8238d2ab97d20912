#include "server/CommandServer.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/socket.h>

#include <algorithm>

#include "FdIo.h"
#include "MonotonicMs.h"
#include "server/Log.h"
#include "server/NetUtil.h"
#include "server/RequestParser.h"

namespace oxle::server {

namespace {

// No TCP segment is smaller than this unless it ends what was sent.
constexpr std::size_t kMinimumSegment = 536;
constexpr int kRestOfRequestMs = 50;
constexpr std::size_t kReadChunk = 16 * 1024;
constexpr std::size_t kLoggedRequestBytes = 200;
constexpr int kMillisPerSecond = 1000;
constexpr std::size_t kTrimAfterBytes = 1024 * 1024;
// Far more than a LAN round trip needs to keep the box's reads busy.
constexpr int kSendBufferBytes = 256 * 1024;

}  // namespace

CommandServer::CommandServer(CommandHandler& handler, const AllowList& allowed)
    : handler_(handler),
      server_(
          "command port", [this](int fd, const std::string& peer) { serve(fd, peer); }, kLimits, allowed) {}

bool CommandServer::readRequest(int fd, std::string& request, std::string& why) {
    request.clear();
    char buffer[kReadChunk];
    // One deadline for the whole request: a client that trickles a byte at a time must
    // not hold its thread longer than one that sends nothing.
    const long long deadline = monotonicMs() + kIdleTimeoutMs;
    int pauseMs = kIdleTimeoutMs;
    while (true) {
        const long long left = deadline - monotonicMs();
        const long got = left <= 0 ? NetUtil::kReadTimedOut
                                   : NetUtil::readSome(fd, buffer, sizeof buffer,
                                                       static_cast<int>(std::min<long long>(pauseMs, left)));
        if (got == NetUtil::kReadTimedOut) {
            // A pause after a full segment ends the request; the deadline ends the client.
            if (!request.empty() && monotonicMs() < deadline) return true;
            why = "no whole request within " + std::to_string(kIdleTimeoutMs / kMillisPerSecond) + " s";
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
        pauseMs = kRestOfRequestMs;
    }
}

void CommandServer::serve(int fd, const std::string& peer) {
    std::string wire;
    std::string why;
    if (!readRequest(fd, wire, why)) {
        complaints_.refuse(peer, why);
        return;
    }
    const ParseResult parsed = RequestParser::parse(wire);
    std::string reply;
    if (!parsed.ok) {
        complaints_.refuse(peer, "bad request (" + parsed.error + "): \"" + wire.substr(0, kLoggedRequestBytes) + "\"");
        reply = "+nok";
    } else {
        CommandHandler::Origin origin{peer, NetUtil::localAddress(fd)};
        reply = handler_.handle(parsed.request, origin);
    }
    Log::debug(peer + " \"" + wire.substr(0, kLoggedRequestBytes) + "\" -> " + std::to_string(reply.size()) + " bytes");
    // Without a deadline, clients that ask for a big listing and never read it would
    // each hold a thread and their reply for ever; without a fixed send buffer, the
    // kernel would grow each one's to megabytes besides.
    const int sendBuffer = kSendBufferBytes;
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0 || !fdio::writeAll(fd, reply, kReplyTimeoutMs)) {
        complaints_.refuse(peer, "the reply was not taken within " +
                                     std::to_string(kReplyTimeoutMs / kMillisPerSecond) +
                                     " s, or the client went away");
        // A reset, not a close: the kernel would otherwise go on holding what is unsent.
        const linger reset{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    }
    if (reply.size() >= kTrimAfterBytes) {
        // glibc keeps what a big listing freed in this thread's arena; without the trim
        // the memory of clients long dropped would stay with the server.
        std::string().swap(reply);
        ::malloc_trim(0);
    }
}

}  // namespace oxle::server
