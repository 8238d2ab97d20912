#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>

#include "UniqueFd.h"

namespace oxle::server {

// Small socket helpers shared by the command and stream ports.
class NetUtil {
public:
    // Listening IPv4 TCP socket; port 0 lets the kernel choose.
    static UniqueFd listenTcp(const std::string& bindAddress, std::uint16_t port, std::string& error);
    static std::uint16_t localPort(int fd);
    static std::string localAddress(int fd);
    static std::string addressText(const sockaddr_in& address);
    static constexpr long kReadFailed = -1;
    static constexpr long kReadTimedOut = -2;
    // Waits up to timeoutMs for data; returns bytes read, 0 at end, kReadFailed or kReadTimedOut.
    static long readSome(int fd, char* buffer, std::size_t length, int timeoutMs);
};

}  // namespace oxle::server
