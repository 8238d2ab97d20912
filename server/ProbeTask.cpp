#include "server/ProbeTask.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace oxle::server {

namespace {

// ffmpeg's first bytes matter more than the status document: on a busy machine the
// probe gives way to it.
constexpr int kNiceness = 10;

void signal(int fd) {
    const std::uint64_t one = 1;
    // A full counter already means "signalled".
    [[maybe_unused]] const ssize_t written = ::write(fd, &one, sizeof one);
}

bool signalled(int fd) {
    pollfd waiting{fd, POLLIN, 0};
    return ::poll(&waiting, 1, 0) == 1;
}

}  // namespace

ProbeTask::ProbeTask(const Probe& probe, std::string path, Done done)
    : cancel_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), finished_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    thread_ = std::thread([this, &probe, path = std::move(path), done = std::move(done)] { run(probe, path, done); });
}

ProbeTask::~ProbeTask() {
    signal(cancel_.get());
    if (thread_.joinable()) thread_.join();
}

void ProbeTask::run(const Probe& probe, const std::string& path, const Done& done) {
    MediaInfo info;
    std::string why;
    const bool ok = probe.run(path, info, why, cancel_.get(), kNiceness);
    if (!signalled(cancel_.get())) done(ok, info, why);
    signal(finished_.get());
}

}  // namespace oxle::server
