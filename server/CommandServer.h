#pragma once

#include <cstdint>
#include <string>

#include "server/CommandHandler.h"
#include "server/RefusalLog.h"
#include "server/TcpServer.h"

namespace oxle::server {

// The command port: one request per connection, answered, then closed. A client has
// kIdleTimeoutMs to send its whole request and kReplyTimeoutMs to take the whole reply;
// one that does not is dropped, and with it the reply it left.
class CommandServer {
public:
    static constexpr std::size_t kMaxRequestBytes = 64 * 1024;
    static constexpr int kIdleTimeoutMs = 5000;
    static constexpr int kReplyTimeoutMs = 10000;
    // The box makes one request at a time, and its feeder one more when a stream ends.
    static constexpr TcpServer::Limits kLimits{64, 8};

    CommandServer(CommandHandler& handler, const AllowList& allowed);

    bool listen(const std::string& bindAddress, std::uint16_t port, std::string& error) {
        return server_.listen(bindAddress, port, error);
    }
    std::uint16_t port() const { return server_.port(); }
    void start() { server_.start(); }
    void stop() { server_.stop(); }

    // The box sends its request in one piece and no line end, then waits for the close:
    // a short read is the whole request; a long one waits briefly for the rest, all of
    // it within kIdleTimeoutMs.
    static bool readRequest(int fd, std::string& request, std::string& why);

private:
    void serve(int fd, const std::string& peer);

    CommandHandler& handler_;
    // Clients that send nothing useful or take no reply: a line a minute for each address.
    RefusalLog complaints_{"command port"};
    TcpServer server_;
};

}  // namespace oxle::server
