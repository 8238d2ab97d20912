#include "server/Session.h"

#include <sys/eventfd.h>
#include <unistd.h>

namespace oxle::server {

Session::Session() : wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

Session::~Session() {
    if (process) process->terminate();
    if (wakeFd >= 0) ::close(wakeFd);
}

void Session::wake() {
    const std::uint64_t one = 1;
    if (wakeFd >= 0) {
        // A full counter already means "woken"; nothing to do on failure.
        [[maybe_unused]] const ssize_t written = ::write(wakeFd, &one, sizeof one);
    }
}

void Session::drainWake() {
    std::uint64_t count = 0;
    if (wakeFd >= 0) {
        [[maybe_unused]] const ssize_t got = ::read(wakeFd, &count, sizeof count);
    }
}

}  // namespace oxle::server
