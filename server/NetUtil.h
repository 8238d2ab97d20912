#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>

namespace oxle::server {

// Small socket helpers shared by the command and stream ports.
class NetUtil {
public:
    // Listening IPv4 TCP socket; port 0 lets the kernel choose.
    static int listenTcp(const std::string& bindAddress, std::uint16_t port, std::string& error);
    static std::uint16_t localPort(int fd);
    static std::string localAddress(int fd);
    static std::string addressText(const sockaddr_in& address);
    // Writes everything; false when the peer is gone.
    static bool sendAll(int fd, const char* data, std::size_t length);
    static bool sendAll(int fd, const std::string& data) { return sendAll(fd, data.data(), data.size()); }
    // Waits up to timeoutMs for data; returns bytes read, 0 at end, -1 on error, -2 on time-out.
    static long readSome(int fd, char* buffer, std::size_t length, int timeoutMs);
};

}  // namespace oxle::server
