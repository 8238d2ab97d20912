#pragma once

#include <cstdint>
#include <string>

#include "server/Player.h"
#include "server/TcpServer.h"

namespace oxle::server {

// The HTTP stream port: "GET /dboxstream" gets the transport stream of the session;
// anything else a 404.
class StreamServer {
public:
    explicit StreamServer(Player& player);

    bool listen(const std::string& bindAddress, std::uint16_t port, std::string& error) {
        return server_.listen(bindAddress, port, error);
    }
    std::uint16_t port() const { return server_.port(); }
    void start() { server_.start(); }
    void stop() { server_.stop(); }

private:
    void serve(int fd, const std::string& peer);

    Player& player_;
    TcpServer server_;
};

}  // namespace oxle::server
