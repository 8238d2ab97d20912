#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <thread>

#include "UniqueFd.h"

namespace oxle::server {

// Accepts connections on one port and serves each on a thread of its own. The server
// closes each connection after its handler returns; stop() ends the accepting, shuts
// the open connections down and joins every thread.
class TcpServer {
public:
    using Handler = std::function<void(int fd, const std::string& peerAddress)>;

    TcpServer(std::string name, Handler handler, std::size_t maxConnections);
    ~TcpServer();
    TcpServer(const TcpServer&) = delete;
    TcpServer& operator=(const TcpServer&) = delete;

    bool listen(const std::string& bindAddress, std::uint16_t port, std::string& error);
    std::uint16_t port() const { return port_; }
    void start();
    void stop();

private:
    struct Connection {
        std::thread thread;
        UniqueFd socket;  // closed when the handler returns, under mutex_
        bool done = false;
    };

    void acceptLoop();
    void serve(Connection* connection, const std::string& peer);
    void joinFinishedLocked(std::list<Connection>& finished);

    const std::string name_;
    const Handler handler_;
    const std::size_t maxConnections_;
    // Set by listen() before start(); the acceptor thread is their only user after that.
    UniqueFd listener_;
    UniqueFd wake_;  // tells the acceptor to stop
    std::uint16_t port_ = 0;
    // This server's threads, the acceptor and one per connection; stop() joins them all.
    std::thread acceptor_;

    // Guards connections_ and stopping_, and every close of a connection's fd, so that
    // stop() never shuts down a descriptor number that was already reused.
    std::mutex mutex_;
    std::list<Connection> connections_;
    bool stopping_ = false;
};

}  // namespace oxle::server
