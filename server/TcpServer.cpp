#include "server/TcpServer.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "server/Log.h"
#include "server/NetUtil.h"

namespace oxle::server {

namespace {

constexpr int kNoTimeLimit = -1;

// What the acceptor waits on, in poll order.
enum Watched { kListener, kWake, kWatchedCount };

}  // namespace

TcpServer::TcpServer(std::string name, Handler handler, Limits limits, const AllowList& allowed)
    : name_(std::move(name)), handler_(std::move(handler)), limits_(limits), allowed_(allowed), refusals_(name_) {}

TcpServer::~TcpServer() { stop(); }

bool TcpServer::listen(const std::string& bindAddress, std::uint16_t port, std::string& error) {
    listener_ = NetUtil::listenTcp(bindAddress, port, error);
    if (!listener_) return false;
    wake_.reset(::eventfd(0, EFD_CLOEXEC));
    if (!wake_) {
        error = std::string("eventfd: ") + std::strerror(errno);
        return false;
    }
    port_ = NetUtil::localPort(listener_.get());
    return true;
}

void TcpServer::start() {
    acceptor_ = std::thread([this] { acceptLoop(); });
}

void TcpServer::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return;
        stopping_ = true;
        for (Connection& connection : connections_) {
            if (!connection.done && connection.socket) ::shutdown(connection.socket.get(), SHUT_RDWR);
        }
    }
    if (wake_) {
        const std::uint64_t one = 1;
        if (::write(wake_.get(), &one, sizeof one) < 0) Log::info(name_ + ": cannot wake the acceptor");
    }
    if (acceptor_.joinable()) acceptor_.join();
    // No new connection can appear now; the list is only read below.
    for (Connection& connection : connections_) {
        if (connection.thread.joinable()) connection.thread.join();
    }
    connections_.clear();
}

void TcpServer::joinFinishedLocked(std::list<Connection>& finished) {
    for (auto it = connections_.begin(); it != connections_.end();) {
        if (it->done) {
            auto next = std::next(it);
            finished.splice(finished.end(), connections_, it);
            it = next;
        } else {
            ++it;
        }
    }
}

std::string TcpServer::refusalLocked(const std::string& peer) const {
    if (stopping_) return "stopping";
    if (connections_.size() >= limits_.total) {
        return "all " + std::to_string(limits_.total) + " connections are in use";
    }
    const auto it = perAddress_.find(peer);
    if (it != perAddress_.end() && it->second >= limits_.perAddress) {
        return "more than " + std::to_string(limits_.perAddress) + " connections at once";
    }
    return std::string();
}

void TcpServer::acceptLoop() {
    while (true) {
        pollfd fds[kWatchedCount] = {};
        fds[kListener] = {listener_.get(), POLLIN, 0};
        fds[kWake] = {wake_.get(), POLLIN, 0};
        if (::poll(fds, kWatchedCount, kNoTimeLimit) < 0) {
            if (errno == EINTR) continue;
            Log::info(name_ + ": poll failed: " + std::strerror(errno));
            return;
        }
        if (fds[kWake].revents != 0) return;
        if (fds[kListener].revents == 0) continue;

        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        UniqueFd client(::accept4(listener_.get(), reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC));
        if (!client) {
            if (errno != EINTR && errno != ECONNABORTED) Log::info(name_ + ": accept: " + std::strerror(errno));
            continue;
        }
        const std::string peerText = NetUtil::addressText(peer);
        if (!allowed_.allows(ntohl(peer.sin_addr.s_addr))) {
            refusals_.refuse(peerText, "not in an --allow network");
            continue;
        }

        std::list<Connection> finished;
        std::string refusal;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            joinFinishedLocked(finished);
            refusal = refusalLocked(peerText);
            if (refusal.empty()) {
                ++perAddress_[peerText];
                connections_.emplace_back();
                Connection* connection = &connections_.back();
                connection->socket = std::move(client);
                connection->peer = peerText;
                connection->thread = std::thread([this, connection] { serve(connection); });
            }
        }
        // Closed at once, without a word: a reply would only feed the flood.
        client.reset();
        if (!refusal.empty()) refusals_.refuse(peerText, refusal);
        for (Connection& done : finished) {
            if (done.thread.joinable()) done.thread.join();
        }
    }
}

void TcpServer::serve(Connection* connection) {
    // Only this thread resets the socket and the acceptor set the peer before starting
    // it, so reading both here without the lock is safe.
    handler_(connection->socket.get(), connection->peer);
    std::lock_guard<std::mutex> lock(mutex_);
    connection->socket.reset();
    connection->done = true;
    const auto it = perAddress_.find(connection->peer);
    if (it != perAddress_.end() && --it->second == 0) perAddress_.erase(it);
}

}  // namespace oxle::server
