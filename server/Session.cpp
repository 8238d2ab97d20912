#include "server/Session.h"

#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

#include "server/FfmpegCommand.h"
#include "server/Log.h"

namespace oxle::server {

namespace {

constexpr int kSessionSecondsPerMinute = 60;
constexpr int kPercent = 100;
constexpr double kRoundToNearest = 0.5;
// Seeking forward never lands closer than this to the end, so a seek leaves something to see.
constexpr int kSeekEndMarginSeconds = 10;

double secondsBetween(Session::Clock::time_point from, Session::Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

}  // namespace

Session::Session(Source source) : wakeFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), source_(std::move(source)) {}

Session::Session(const std::string& clientPath, const std::string& why)
    : failed_(true), failure_(why), wakeFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    source_.path = clientPath;
}

std::shared_ptr<Session> Session::refused(const std::string& clientPath, const std::string& why) {
    Log::info("cannot play \"" + clientPath + "\": " + why);
    return std::shared_ptr<Session>(new Session(clientPath, why));
}

Session::~Session() {
    if (process_) process_->terminate();
    feed_.reset();
}

Session::Source Session::source() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return source_;
}

void Session::switchTo(Source next) {
    std::lock_guard<std::mutex> lock(mutex_);
    source_ = std::move(next);
}

void Session::learn(const MediaInfo& info) {
    std::lock_guard<std::mutex> lock(mutex_);
    source_.info = info;
}

void Session::settle() {
    std::lock_guard<std::mutex> lock(mutex_);
    source_.guessed = false;
    wake();
}

bool Session::guessed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return source_.guessed;
}

bool Session::restart(std::shared_ptr<ChildProcess> process, double startSeconds, std::unique_ptr<DiscFeed> feed) {
    // The feed that goes is stopped after the lock: its thread may be in a slow disc read.
    std::unique_ptr<DiscFeed> old = std::move(feed);
    std::lock_guard<std::mutex> lock(mutex_);
    if (ended_) {
        process->terminate();
        return false;
    }
    // The box toggles pause with one command; a seek or skip while paused must leave the
    // session paused, or the next toggle would pause what the viewer wants to resume.
    if (paused_) process->suspend();
    if (process_) process_->terminate();
    process_ = std::move(process);
    std::swap(old, feed_);
    baseSeconds_ = startSeconds;
    clockStarted_ = false;
    clockRunning_ = false;
    playedSeconds_ = 0.0;
    wake();
    return true;
}

bool Session::togglePause() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (failed_ || !process_) return false;
    const auto now = Clock::now();
    if (paused_) {
        process_->resume();
        paused_ = false;
        if (clockStarted_) {
            clockRunning_ = true;
            clockStart_ = now;
        }
        Log::info("pause released");
    } else {
        process_->suspend();
        paused_ = true;
        if (clockRunning_) {
            playedSeconds_ += secondsBetween(clockStart_, now);
            clockRunning_ = false;
        }
        Log::info("paused");
    }
    return true;
}

double Session::positionLocked() const {
    double played = playedSeconds_;
    if (clockRunning_) played += secondsBetween(clockStart_, Clock::now());
    double position = baseSeconds_ + played;
    if (source_.info.durationSeconds > 0) position = std::min(position, source_.info.durationSeconds);
    return std::max(0.0, position);
}

double Session::position() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return positionLocked();
}

int Session::seekTarget(int minutes) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const int length = static_cast<int>(source_.info.durationSeconds);
    const int latest = std::max(0, length - kSeekEndMarginSeconds);
    const int target = static_cast<int>(positionLocked()) + minutes * kSessionSecondsPerMinute;
    return std::clamp(target, 0, length > 0 ? latest : std::max(0, target));
}

PlayStatus Session::status() const {
    std::lock_guard<std::mutex> lock(mutex_);
    PlayStatus result;
    const MediaInfo& info = source_.info;
    result.length = static_cast<int>(info.durationSeconds + kRoundToNearest);
    result.time = static_cast<int>(positionLocked());
    result.position = result.length > 0 ? std::min(kPercent, result.time * kPercent / result.length) : 0;
    const StreamInfo* described = info.firstVideo();
    if (described == nullptr) {
        const auto audio = info.audioStreams();
        if (!audio.empty()) described = audio[FfmpegCommand::audioIndex(info, source_.audioChannel)];
    }
    if (described != nullptr) {
        result.codec = MediaInfo::displayCodec(described->codec);
        result.resolution = MediaInfo::resolutionText(*described);
    }
    return result;
}

bool Session::transcoderFailed(int& status) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!process_ || !process_->exited()) return false;
    status = process_->waitStatus();
    return !WIFEXITED(status) || WEXITSTATUS(status) != 0;
}

bool Session::end(const std::string& reason, bool announce) {
    std::unique_ptr<DiscFeed> feed;
    std::lock_guard<std::mutex> lock(mutex_);
    if (ended_) return false;
    ended_ = true;
    endReason_ = reason;
    if (process_) process_->terminate();
    feed = std::move(feed_);
    if (clientFd_ >= 0) ::shutdown(clientFd_, SHUT_RDWR);
    wake();
    if (!failed_ && announce) Log::info("session " + source_.path + " ended: " + reason);
    return true;
}

std::string Session::endReason() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return endReason_;
}

bool Session::attach(int clientFd) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (attached_) return false;
    attached_ = true;
    clientFd_ = clientFd;
    return true;
}

bool Session::attached() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return attached_;
}

void Session::detach() {
    std::lock_guard<std::mutex> lock(mutex_);
    clientFd_ = -1;
}

std::shared_ptr<ChildProcess> Session::liveTranscoder() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return ended_ ? nullptr : process_;
}

Session::Feed Session::feed(const std::shared_ptr<ChildProcess>& process) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ended_) return Feed::Ended;
    return process_ == process ? Feed::Current : Feed::Replaced;
}

bool Session::deliver(const std::shared_ptr<ChildProcess>& process) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (process_ != process) return false;
    if (!clockStarted_) {
        clockStarted_ = true;
        clockRunning_ = !paused_;
        clockStart_ = Clock::now();
    }
    return true;
}

void Session::wake() {
    const std::uint64_t one = 1;
    if (wakeFd_) {
        // A full counter already means "woken"; nothing to do on failure.
        [[maybe_unused]] const ssize_t written = ::write(wakeFd_.get(), &one, sizeof one);
    }
}

void Session::drainWake() {
    std::uint64_t count = 0;
    if (wakeFd_) {
        [[maybe_unused]] const ssize_t got = ::read(wakeFd_.get(), &count, sizeof count);
    }
}

}  // namespace oxle::server
