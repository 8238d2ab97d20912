#include "server/DiscFeed.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <ctime>

#include "server/Log.h"

namespace oxle::server {

DiscFeed::DiscFeed(std::unique_ptr<DiscSectors> sectors, std::vector<DiscTitle::Run> plan, UniqueFd input,
                   std::string drive)
    : sectors_(std::move(sectors)),
      plan_(std::move(plan)),
      input_(std::move(input)),
      drive_(std::move(drive)),
      stopFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    ::fcntl(input_.get(), F_SETFL, ::fcntl(input_.get(), F_GETFL) | O_NONBLOCK);
    thread_ = std::thread([this] { run(); });
}

DiscFeed::~DiscFeed() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(stopFd_.get(), &one, sizeof one);
    if (thread_.joinable()) thread_.join();
}

bool DiscFeed::write(const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        pollfd fds[] = {{input_.get(), POLLOUT, 0}, {stopFd_.get(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (fds[1].revents != 0) return false;
        const ssize_t n = ::write(input_.get(), bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            // EPIPE: the transcoder is gone, killed by a seek, a stop or its own end.
            return false;
        }
    }
    return true;
}

void DiscFeed::run() {
    // A transcoder that went away must not take the server down: the write fails with
    // EPIPE instead, and the signal it raised on this thread is taken off again.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    std::vector<std::uint8_t> bytes;
    for (const DiscTitle::Run& run : plan_) {
        bytes.clear();
        std::string why;
        if (!sectors_->read(run.first, run.count, bytes, why)) {
            Log::info("disc " + drive_ + " can no longer be read (" + why + "): the stream ends here");
            break;
        }
        if (!write(bytes)) break;
    }
    const timespec now{0, 0};
    while (sigtimedwait(&pipe, nullptr, &now) > 0) {
    }
    input_.reset();
}

}  // namespace oxle::server
