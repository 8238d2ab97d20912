#include "server/TcpServer.h"

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

TcpServer::TcpServer(std::string name, Handler handler, std::size_t maxConnections)
    : name_(std::move(name)), handler_(std::move(handler)), maxConnections_(maxConnections) {}

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

        std::list<Connection> finished;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            joinFinishedLocked(finished);
            if (stopping_ || connections_.size() >= maxConnections_) {
                Log::info(name_ + ": too many connections, dropped one from " + peerText);
                client.reset();
            } else {
                connections_.emplace_back();
                Connection* connection = &connections_.back();
                connection->socket = std::move(client);
                connection->thread = std::thread([this, connection, peerText] { serve(connection, peerText); });
            }
        }
        for (Connection& done : finished) {
            if (done.thread.joinable()) done.thread.join();
        }
    }
}

void TcpServer::serve(Connection* connection, const std::string& peer) {
    // Only this thread resets the socket, so reading it here without the lock is safe.
    handler_(connection->socket.get(), peer);
    std::lock_guard<std::mutex> lock(mutex_);
    connection->socket.reset();
    connection->done = true;
}

}  // namespace oxle::server
