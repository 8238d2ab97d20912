#pragma once

#include <cstdint>
#include <string>

#include "server/CommandHandler.h"
#include "server/TcpServer.h"

namespace oxle::server {

// The command port: one request per connection, answered, then closed.
class CommandServer {
public:
    static constexpr std::size_t kMaxRequestBytes = 64 * 1024;
    static constexpr int kIdleTimeoutMs = 5000;

    explicit CommandServer(CommandHandler& handler);

    bool listen(const std::string& bindAddress, std::uint16_t port, std::string& error) {
        return server_.listen(bindAddress, port, error);
    }
    std::uint16_t port() const { return server_.port(); }
    void start() { server_.start(); }
    void stop() { server_.stop(); }

    // The box sends its request in one piece and no line end, then waits for the close:
    // a short read is the whole request; a long one waits briefly for the rest.
    static bool readRequest(int fd, std::string& request, std::string& why);

private:
    void serve(int fd, const std::string& peer);

    CommandHandler& handler_;
    TcpServer server_;
};

}  // namespace oxle::server
