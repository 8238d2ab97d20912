#pragma once

#include <cstdint>
#include <string>

#include "server/PasswordGate.h"
#include "server/Player.h"
#include "server/RefusalLog.h"
#include "server/TcpServer.h"

namespace oxle::server {

// The HTTP stream port: "GET /dboxstream" gets the transport stream of the session,
// or a 403 when a password is set and the client's address has not sent it; anything
// else a 404.
class StreamServer {
public:
    // The box opens one stream at a time; room for more, yet not for every thread.
    static constexpr TcpServer::Limits kLimits{64, 16};

    StreamServer(Player& player, PasswordGate& gate, const AllowList& allowed);

    bool listen(const std::string& bindAddress, std::uint16_t port, std::string& error) {
        return server_.listen(bindAddress, port, error);
    }
    std::uint16_t port() const { return server_.port(); }
    void start() { server_.start(); }
    void stop() { server_.stop(); }

private:
    void serve(int fd, const std::string& peer);

    Player& player_;
    PasswordGate& gate_;
    // Requests refused or never completed: a line a minute for each address.
    RefusalLog refusals_{"stream port"};
    TcpServer server_;
};

}  // namespace oxle::server
