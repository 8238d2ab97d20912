#include "server/NetUtil.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace oxle::server {

namespace {

constexpr int kListenBacklog = 64;

}  // namespace

UniqueFd NetUtil::listenTcp(const std::string& bindAddress, std::uint16_t port, std::string& error) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (::inet_pton(AF_INET, bindAddress.c_str(), &address.sin_addr) != 1) {
        error = "not an IPv4 address: " + bindAddress;
        return UniqueFd();
    }
    UniqueFd listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!listener) {
        error = std::string("socket: ") + std::strerror(errno);
        return UniqueFd();
    }
    const int on = 1;
    ::setsockopt(listener.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(listener.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        error = "bind " + bindAddress + ":" + std::to_string(port) + ": " + std::strerror(errno);
        return UniqueFd();
    }
    if (::listen(listener.get(), kListenBacklog) != 0) {
        error = std::string("listen: ") + std::strerror(errno);
        return UniqueFd();
    }
    return listener;
}

std::uint16_t NetUtil::localPort(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
    return ntohs(address.sin_port);
}

std::string NetUtil::localAddress(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return std::string();
    return addressText(address);
}

std::string NetUtil::addressText(const sockaddr_in& address) {
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return text;
}

long NetUtil::readSome(int fd, char* buffer, std::size_t length, int timeoutMs) {
    pollfd waiting{fd, POLLIN, 0};
    int ready = 0;
    do {
        ready = ::poll(&waiting, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    if (ready == 0) return kReadTimedOut;
    if (ready < 0) return kReadFailed;
    ssize_t got = 0;
    do {
        got = ::recv(fd, buffer, length, 0);
    } while (got < 0 && errno == EINTR);
    return static_cast<long>(got);
}

}  // namespace oxle::server
