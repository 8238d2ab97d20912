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

TcpServer::TcpServer(std::string name, Handler handler, std::size_t maxConnections)
    : name_(std::move(name)), handler_(std::move(handler)), maxConnections_(maxConnections) {}

TcpServer::~TcpServer() {
    stop();
    if (listenFd_ >= 0) ::close(listenFd_);
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

bool TcpServer::listen(const std::string& bindAddress, std::uint16_t port, std::string& error) {
    listenFd_ = NetUtil::listenTcp(bindAddress, port, error);
    if (listenFd_ < 0) return false;
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC);
    if (wakeFd_ < 0) {
        error = std::string("eventfd: ") + std::strerror(errno);
        return false;
    }
    port_ = NetUtil::localPort(listenFd_);
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
            if (!connection.done && connection.fd >= 0) ::shutdown(connection.fd, SHUT_RDWR);
        }
    }
    if (wakeFd_ >= 0) {
        const std::uint64_t one = 1;
        if (::write(wakeFd_, &one, sizeof one) < 0) Log::info(name_ + ": cannot wake the acceptor");
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
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            Log::info(name_ + ": poll failed: " + std::strerror(errno));
            return;
        }
        if (fds[1].revents != 0) return;
        if (fds[0].revents == 0) continue;

        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        const int fd = ::accept4(listenFd_, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
        if (fd < 0) {
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
                ::close(fd);
            } else {
                connections_.emplace_back();
                Connection* connection = &connections_.back();
                connection->fd = fd;
                connection->thread = std::thread([this, connection, peerText] { serve(connection, peerText); });
            }
        }
        for (Connection& done : finished) {
            if (done.thread.joinable()) done.thread.join();
        }
    }
}

void TcpServer::serve(Connection* connection, const std::string& peer) {
    handler_(connection->fd, peer);
    std::lock_guard<std::mutex> lock(mutex_);
    ::close(connection->fd);
    connection->fd = -1;
    connection->done = true;
}

}  // namespace oxle::server
