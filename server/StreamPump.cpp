#include "server/StreamPump.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "FdIo.h"
#include "server/HttpRequest.h"
#include "server/Log.h"

namespace oxle::server {

namespace {

constexpr std::size_t kPumpChunk = 64 * 1024;
constexpr int kStreamSendBufferBytes = 256 * 1024;
constexpr int kPumpPollMs = 500;
constexpr std::size_t kTsPacketBytes = 188;
constexpr int kExitGraceMs = 500;
constexpr const char* kClientGone = "stream client went away";
constexpr const char* kErrorPrefix = "ffmpeg: ";

// What the pump waits on, in poll order.
enum Watched { kOutput, kErrors, kWake, kClient, kWatchedCount };

bool cleanExit(int status) { return WIFEXITED(status) && WEXITSTATUS(status) == 0; }

}  // namespace

StreamPump::StreamPump(std::shared_ptr<Session> session, int clientFd, std::string peer)
    : session_(std::move(session)), clientFd_(clientFd), peer_(std::move(peer)), buffer_(kPumpChunk) {}

void StreamPump::logErrors(bool flush) {
    std::size_t newline;
    while ((newline = pendingErrors_.find('\n')) != std::string::npos) {
        if (newline > 0) Log::info(kErrorPrefix + pendingErrors_.substr(0, newline));
        pendingErrors_.erase(0, newline + 1);
    }
    if (flush && !pendingErrors_.empty()) {
        Log::info(kErrorPrefix + pendingErrors_);
        pendingErrors_.clear();
    }
}

bool StreamPump::readErrors(const ChildProcess& process) {
    const ssize_t n = ::read(process.stderrFd(), buffer_.data(), buffer_.size());
    if (n <= 0) return false;
    pendingErrors_.append(buffer_.data(), static_cast<std::size_t>(n));
    logErrors(false);
    return true;
}

bool StreamPump::forwardOutput(const std::shared_ptr<ChildProcess>& process, std::string& reason) {
    const ssize_t n = ::read(process->stdoutFd(), buffer_.data(), buffer_.size());
    if (n > 0) {
        // Output of a transcoder replaced by a seek or skip is stale: drop it.
        if (!session_->deliver(process)) return true;
        partial_.append(buffer_.data(), static_cast<std::size_t>(n));
        const std::size_t whole = partial_.size() - partial_.size() % kTsPacketBytes;
        if (fdio::writeAll(clientFd_, partial_.data(), whole) != whole) {
            reason = kClientGone;
            return false;
        }
        partial_.erase(0, whole);
        bytes_ += whole;
        return true;
    }
    switch (session_->feed(process)) {
        case Session::Feed::Ended: return false;
        case Session::Feed::Replaced: return true;
        case Session::Feed::Current: break;
    }
    if (session_->guessed()) {
        // A guessed ffmpeg may fail, or copy a short file whole, before ffprobe answers; the
        // answer may bring the right one. learn() and restart() wake this pump.
        pollfd answer{session_->wakeFd(), POLLIN, 0};
        ::poll(&answer, 1, kPumpPollMs);
        return true;
    }
    // End of the current transcoder's output: the end of the file, or its death.
    int status = 0;
    process->waitFor(kExitGraceMs, status);
    reason = cleanExit(status) ? "end of file" : "transcoder ended with " + ChildProcess::describeStatus(status);
    return false;
}

std::string StreamPump::run() {
    const int on = 1;
    ::setsockopt(clientFd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    // What the box has not taken yet waits in the transcoder's pipe, not in a socket
    // buffer many seconds deep: pause and seek then act close to what the viewer sees.
    const int sendBuffer = kStreamSendBufferBytes;
    ::setsockopt(clientFd_, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
    std::string reason;
    // The box reads the status line and headers in one read of its own and drops the
    // rest of that read, so they go out alone, before any stream byte.
    if (!fdio::writeAll(clientFd_, HttpRequest::kStreamHeader)) reason = kClientGone;
    Log::info("streaming " + session_->source().path + " to " + peer_);

    std::shared_ptr<ChildProcess> errorsOf;
    bool errorsOpen = false;
    while (reason.empty()) {
        const std::shared_ptr<ChildProcess> process = session_->liveTranscoder();
        if (!process) break;
        if (process != errorsOf) {
            logErrors(true);
            errorsOf = process;
            errorsOpen = true;
            // A packet cut short by the switch would break the client's 188-byte rhythm.
            partial_.clear();
        }
        pollfd fds[kWatchedCount] = {};
        fds[kOutput] = {process->stdoutFd(), POLLIN, 0};
        fds[kErrors] = {errorsOpen ? process->stderrFd() : -1, POLLIN, 0};
        fds[kWake] = {session_->wakeFd(), POLLIN, 0};
        fds[kClient] = {clientFd_, POLLRDHUP, 0};
        if (::poll(fds, kWatchedCount, kPumpPollMs) < 0) {
            if (errno == EINTR) continue;
            reason = std::string("poll: ") + std::strerror(errno);
            break;
        }
        if (fds[kWake].revents != 0) {
            session_->drainWake();
            continue;
        }
        if ((fds[kClient].revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0) {
            reason = kClientGone;
            break;
        }
        if (fds[kErrors].revents != 0) errorsOpen = readErrors(*process);
        if (fds[kOutput].revents == 0) continue;
        if (!forwardOutput(process, reason)) break;
    }
    logErrors(true);
    return reason;
}

}  // namespace oxle::server
