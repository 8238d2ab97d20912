#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "UniqueFd.h"
#include "server/AllowList.h"
#include "server/RefusalLog.h"

namespace oxle::server {

// Accepts connections on one port and serves each on a thread of its own. The server
// closes each connection after its handler returns; stop() ends the accepting, shuts
// the open connections down and joins every thread. Clients outside the allowed
// networks, and connections over either limit, are closed at once.
class TcpServer {
public:
    using Handler = std::function<void(int fd, const std::string& peerAddress)>;

    // Connections served at once: in all, and from one client address, so that one
    // misbehaving client cannot take every thread from the others.
    struct Limits {
        std::size_t total = 0;
        std::size_t perAddress = 0;
    };

    TcpServer(std::string name, Handler handler, Limits limits, const AllowList& allowed);
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
        std::string peer;
        bool done = false;
    };

    void acceptLoop();
    // Why `peer` may not have another connection now; empty when it may.
    std::string refusalLocked(const std::string& peer) const;
    void serve(Connection* connection);
    void joinFinishedLocked(std::list<Connection>& finished);

    const std::string name_;
    const Handler handler_;
    const Limits limits_;
    const AllowList& allowed_;
    RefusalLog refusals_;
    // Set by listen() before start(); the acceptor thread is their only user after that.
    UniqueFd listener_;
    UniqueFd wake_;  // tells the acceptor to stop
    std::uint16_t port_ = 0;
    // This server's threads, the acceptor and one per connection; stop() joins them all.
    std::thread acceptor_;

    // Guards connections_, perAddress_ and stopping_, and every close of a connection's
    // fd, so that stop() never shuts down a descriptor number that was already reused.
    std::mutex mutex_;
    std::list<Connection> connections_;
    std::map<std::string, std::size_t> perAddress_;  // open connections by client address
    bool stopping_ = false;
};

}  // namespace oxle::server
