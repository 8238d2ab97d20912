#include "server/Player.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "server/FfmpegCommand.h"
#include "server/HttpRequest.h"
#include "server/Log.h"
#include "server/NetUtil.h"
#include "server/RequestParser.h"

namespace oxle::server {

namespace {

constexpr const char* kDiscSchemes[] = {"dvdsimple://", "vcdx://"};
constexpr std::size_t kPumpChunk = 64 * 1024;
constexpr int kStreamSendBufferBytes = 256 * 1024;
constexpr int kPumpPollMs = 500;
constexpr std::size_t kTsPacketBytes = 188;
constexpr int kExitGraceMs = 500;
constexpr int kSecondsPerMinute = 60;
constexpr int kPercent = 100;
// Seeking forward never lands closer than this to the end, so a seek leaves something to see.
constexpr int kSeekEndMarginSeconds = 10;

const char* planName(StreamPlan plan) {
    switch (plan) {
        case StreamPlan::Remux: return "remux";
        case StreamPlan::AudioOnly: return "audio only";
        case StreamPlan::Transcode: break;
    }
    return "transcode";
}

bool isDiscLocation(const std::string& path) {
    for (const char* scheme : kDiscSchemes) {
        if (path.compare(0, std::strlen(scheme), scheme) == 0) return true;
    }
    return false;
}

bool executable(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

bool cleanExit(int status) { return WIFEXITED(status) && WEXITSTATUS(status) == 0; }

void logLines(const std::string& prefix, std::string& pending, bool flush) {
    std::size_t newline;
    while ((newline = pending.find('\n')) != std::string::npos) {
        if (newline > 0) Log::info(prefix + pending.substr(0, newline));
        pending.erase(0, newline + 1);
    }
    if (flush && !pending.empty()) {
        Log::info(prefix + pending);
        pending.clear();
    }
}

}  // namespace

Player::Player(Settings settings, const PathGuard& guard, const DirectoryScanner& scanner, const Probe& probe)
    : settings_(std::move(settings)), guard_(guard), scanner_(scanner), probe_(probe) {}

Player::~Player() { shutdown(); }

void Player::start() {
    monitor_ = std::thread([this] { monitorLoop(); });
}

void Player::shutdown() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        if (current_) endSessionLocked(current_, "server shutting down");
        changed_.notify_all();
    }
    if (monitor_.joinable()) monitor_.join();
}

bool Player::transcoderUsable() const {
    const std::string& program = settings_.ffmpeg;
    if (program.find('/') != std::string::npos) return executable(program);
    const char* pathVariable = std::getenv("PATH");
    std::string dirs = pathVariable != nullptr ? pathVariable : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const std::size_t colon = std::min(dirs.find(':', start), dirs.size());
        const std::string dir = dirs.substr(start, colon - start);
        if (executable((dir.empty() ? "." : dir) + "/" + program)) return true;
        start = colon + 1;
    }
    return false;
}

std::shared_ptr<Session> Player::failedSession(const std::string& clientPath, const std::string& why) {
    Log::info("cannot play \"" + clientPath + "\": " + why);
    auto session = std::make_shared<Session>();
    session->failed = true;
    session->failure = why;
    session->path = clientPath;
    return session;
}

bool Player::startTranscoder(Session& session, int startSeconds, std::string& why,
                             std::shared_ptr<ChildProcess> early) {
    TranscodeRequest request;
    request.ffmpeg = settings_.ffmpeg;
    request.input = session.path;
    request.startSeconds = startSeconds;
    request.audioChannel = session.audioChannel;
    std::shared_ptr<ChildProcess> process = std::move(early);
    if (!process) {
        process = std::make_shared<ChildProcess>();
        if (!process->start(ChildProcess::captured(FfmpegCommand::build(request, session.info)), why)) {
            why = "cannot start the transcoder: " + why;
            return false;
        }
    }
    Log::info("transcoder " + std::to_string(process->pid()) + " for " + session.path + " from " +
              std::to_string(startSeconds) + " s, audio track " +
              std::to_string(FfmpegCommand::audioIndex(session.info, session.audioChannel) + 1) + " (" +
              planName(FfmpegCommand::plan(session.path, session.info)) + ")");
    // The box toggles pause with one command; a seek or skip while paused must leave the
    // session paused, or the next toggle would pause what the viewer wants to resume.
    if (session.paused) process->suspend();
    if (session.process) session.process->terminate();
    session.process = process;
    session.baseSeconds = startSeconds;
    session.clockStarted = false;
    session.clockRunning = false;
    session.playedSeconds = 0.0;
    session.wake();
    return true;
}

bool Player::play(const std::string& clientPath, int startSeconds, int audioChannel) {
    std::lock_guard<std::mutex> serial(commandMutex_);
    std::shared_ptr<Session> session;
    std::string why;
    std::string canonical;
    MediaInfo info;
    struct stat fileInfo {};
    std::shared_ptr<ChildProcess> early;
    const std::string path = RequestParser::undoubleBackslashes(clientPath);
    {
        // The old session goes first: its transcoder would only slow the new start down.
        std::lock_guard<std::mutex> lock(mutex_);
        if (current_) endSessionLocked(current_, "a new play request");
    }

    if (isDiscLocation(clientPath)) {
        session = failedSession(clientPath, "disc playback is not available in this server yet");
    } else if (!guard_.resolve(path, canonical, why)) {
        session = failedSession(clientPath, why);
    } else if (::stat(canonical.c_str(), &fileInfo) != 0 || !S_ISREG(fileInfo.st_mode)) {
        session = failedSession(clientPath, "not a regular file");
    } else if (::access(canonical.c_str(), R_OK) != 0) {
        session = failedSession(clientPath, std::string("unreadable: ") + std::strerror(errno));
    } else {
        // ffmpeg and ffprobe each take a good tenth of a second just to load; run them
        // side by side and keep the early ffmpeg when the probe confirms its command.
        TranscodeRequest request;
        request.ffmpeg = settings_.ffmpeg;
        request.input = canonical;
        request.startSeconds = std::max(0, startSeconds);
        request.audioChannel = audioChannel;
        const auto guessed = FfmpegCommand::build(request, FfmpegCommand::guess(canonical, audioChannel));
        early = std::make_shared<ChildProcess>();
        std::string ignored;
        if (!early->start(ChildProcess::captured(guessed), ignored)) early.reset();
        if (!probe_.run(canonical, info, why)) {
            session = failedSession(clientPath, why);
        } else if (early && FfmpegCommand::build(request, info) != guessed) {
            early.reset();
        }
    }

    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return false;
    if (!session) {
        session = std::make_shared<Session>();
        session->path = canonical;
        session->info = info;
        session->audioChannel = audioChannel;
        if (!startTranscoder(*session, std::max(0, startSeconds), why, std::move(early))) {
            session = failedSession(clientPath, why);
        }
    }
    current_ = session;
    changed_.notify_all();
    return !session->failed;
}

void Player::endSessionLocked(const std::shared_ptr<Session>& session, const std::string& reason) {
    if (!session->ended) {
        session->ended = true;
        session->endReason = reason;
        if (session->process) session->process->terminate();
        if (session->clientFd >= 0) ::shutdown(session->clientFd, SHUT_RDWR);
        session->wake();
        if (!session->failed) Log::info("session " + session->path + " ended: " + reason);
    }
    if (current_ == session) current_.reset();
    changed_.notify_all();
}

bool Player::stop() {
    std::lock_guard<std::mutex> serial(commandMutex_);
    std::lock_guard<std::mutex> lock(mutex_);
    if (!current_) return false;
    endSessionLocked(current_, "stop requested");
    return true;
}

bool Player::togglePause() {
    std::lock_guard<std::mutex> serial(commandMutex_);
    std::lock_guard<std::mutex> lock(mutex_);
    if (!current_ || current_->failed || !current_->process) return false;
    Session& session = *current_;
    const auto now = Session::Clock::now();
    if (session.paused) {
        session.process->resume();
        session.paused = false;
        if (session.clockStarted) {
            session.clockRunning = true;
            session.clockStart = now;
        }
        Log::info("pause released");
    } else {
        session.process->suspend();
        session.paused = true;
        if (session.clockRunning) {
            session.playedSeconds += std::chrono::duration<double>(now - session.clockStart).count();
            session.clockRunning = false;
        }
        Log::info("paused");
    }
    return true;
}

double Player::positionLocked(const Session& session) const {
    double played = session.playedSeconds;
    if (session.clockRunning) {
        played += std::chrono::duration<double>(Session::Clock::now() - session.clockStart).count();
    }
    double position = session.baseSeconds + played;
    if (session.info.durationSeconds > 0) position = std::min(position, session.info.durationSeconds);
    return std::max(0.0, position);
}

bool Player::seek(int minutes) {
    std::lock_guard<std::mutex> serial(commandMutex_);
    std::lock_guard<std::mutex> lock(mutex_);
    if (!current_ || current_->failed) return false;
    Session& session = *current_;
    const int length = static_cast<int>(session.info.durationSeconds);
    const int latest = std::max(0, length - kSeekEndMarginSeconds);
    int target = static_cast<int>(positionLocked(session)) + minutes * kSecondsPerMinute;
    target = std::clamp(target, 0, length > 0 ? latest : std::max(0, target));
    std::string why;
    if (!startTranscoder(session, target, why)) {
        endSessionLocked(current_, why);
        return false;
    }
    return true;
}

bool Player::skip(int direction) {
    std::lock_guard<std::mutex> serial(commandMutex_);
    std::shared_ptr<Session> session;
    std::string path;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!current_ || current_->failed) return false;
        session = current_;
        path = session->path;
    }
    std::string next;
    if (!scanner_.neighbour(path, direction, next)) {
        Log::info(std::string("no ") + (direction > 0 ? "next" : "previous") + " file after " + path);
        return false;
    }
    std::string canonical;
    std::string why;
    MediaInfo info;
    if (!guard_.resolve(next, canonical, why) || !probe_.run(canonical, info, why)) {
        Log::info("cannot skip to " + next + ": " + why);
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (current_ != session) return false;
    session->path = canonical;
    session->info = info;
    if (!startTranscoder(*session, 0, why)) {
        endSessionLocked(session, why);
        return false;
    }
    return true;
}

bool Player::resetStuck() {
    std::lock_guard<std::mutex> serial(commandMutex_);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (current_) {
            Session& session = *current_;
            const bool dead = session.process && session.process->exited() && !cleanExit(session.process->waitStatus());
            if (session.failed || !session.attached || dead) endSessionLocked(current_, "reset on status request");
        }
    }
    return transcoderUsable();
}

PlayStatus Player::status() {
    PlayStatus result;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!current_ || current_->failed) return result;
    const Session& session = *current_;
    result.length = static_cast<int>(session.info.durationSeconds + 0.5);
    result.time = static_cast<int>(positionLocked(session));
    result.position = result.length > 0 ? std::min(kPercent, result.time * kPercent / result.length) : 0;
    const StreamInfo* described = session.info.firstVideo();
    if (described == nullptr) {
        const auto audio = session.info.audioStreams();
        if (!audio.empty()) described = audio[FfmpegCommand::audioIndex(session.info, session.audioChannel)];
    }
    if (described != nullptr) {
        result.codec = MediaInfo::displayCodec(described->codec);
        result.resolution = MediaInfo::resolutionText(*described);
    }
    return result;
}

void Player::serveStream(int clientFd, const std::string& peer) {
    std::shared_ptr<Session> session;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, std::chrono::milliseconds(settings_.waitForPlayMs),
                          [this] { return stopping_ || current_ != nullptr; });
        std::string refusal;
        if (stopping_) {
            refusal = "the server is shutting down";
        } else if (!current_) {
            refusal = "nothing was asked to play";
        } else if (current_->failed) {
            refusal = "the play request failed: " + current_->failure;
            current_.reset();
        } else if (current_->attached) {
            refusal = "another client is streaming";
        } else {
            session = current_;
            session->attached = true;
            session->clientFd = clientFd;
        }
        if (!session) {
            Log::info("stream request from " + peer + " refused: " + refusal);
            NetUtil::sendAll(clientFd, HttpRequest::kNotFound);
            return;
        }
    }
    pump(session, clientFd, peer);
}

void Player::pump(const std::shared_ptr<Session>& session, int clientFd, const std::string& peer) {
    const int on = 1;
    ::setsockopt(clientFd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    // What the box has not taken yet waits in the transcoder's pipe, not in a socket
    // buffer many seconds deep: pause and seek then act close to what the viewer sees.
    const int sendBuffer = kStreamSendBufferBytes;
    ::setsockopt(clientFd, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
    std::string reason;
    std::uint64_t bytes = 0;
    // The box reads the status line and headers in one read of its own and drops the
    // rest of that read, so they go out alone, before any stream byte.
    if (!NetUtil::sendAll(clientFd, HttpRequest::kStreamHeader)) reason = "stream client went away";
    Log::info("streaming " + session->path + " to " + peer);

    std::vector<char> buffer(kPumpChunk);
    std::shared_ptr<ChildProcess> errorsOf;
    std::string pendingErrors;
    bool errorsOpen = false;
    std::string partial;  // bytes of a transport packet not yet complete
    while (reason.empty()) {
        std::shared_ptr<ChildProcess> process;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (session->ended) break;
            process = session->process;
        }
        if (process != errorsOf) {
            logLines("ffmpeg: ", pendingErrors, true);
            errorsOf = process;
            errorsOpen = true;
            // A packet cut short by the switch would break the client's 188-byte rhythm.
            partial.clear();
        }
        pollfd fds[4] = {{process->stdoutFd(), POLLIN, 0},
                         {errorsOpen ? process->stderrFd() : -1, POLLIN, 0},
                         {session->wakeFd, POLLIN, 0},
                         {clientFd, POLLRDHUP, 0}};
        if (::poll(fds, 4, kPumpPollMs) < 0) {
            if (errno == EINTR) continue;
            reason = std::string("poll: ") + std::strerror(errno);
            break;
        }
        if (fds[2].revents != 0) {
            session->drainWake();
            continue;
        }
        if ((fds[3].revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0) {
            reason = "stream client went away";
            break;
        }
        if (fds[1].revents != 0) {
            const ssize_t n = ::read(process->stderrFd(), buffer.data(), buffer.size());
            if (n > 0) {
                pendingErrors.append(buffer.data(), static_cast<std::size_t>(n));
                logLines("ffmpeg: ", pendingErrors, false);
            } else {
                errorsOpen = false;
            }
        }
        if (fds[0].revents == 0) continue;
        const ssize_t n = ::read(process->stdoutFd(), buffer.data(), buffer.size());
        if (n > 0) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                // Output of a transcoder replaced by a seek or skip is stale: drop it.
                if (session->process != process) continue;
                if (!session->clockStarted) {
                    session->clockStarted = true;
                    session->clockRunning = !session->paused;
                    session->clockStart = Session::Clock::now();
                }
            }
            partial.append(buffer.data(), static_cast<std::size_t>(n));
            const std::size_t whole = partial.size() - partial.size() % kTsPacketBytes;
            if (!NetUtil::sendAll(clientFd, partial.data(), whole)) {
                reason = "stream client went away";
                break;
            }
            partial.erase(0, whole);
            bytes += whole;
            continue;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (session->ended) break;
            if (session->process != process) continue;
        }
        // End of the current transcoder's output: the end of the file, or its death.
        int status = 0;
        process->waitFor(kExitGraceMs, status);
        reason = cleanExit(status) ? "end of file" : "transcoder ended with " + ChildProcess::describeStatus(status);
    }
    logLines("ffmpeg: ", pendingErrors, true);

    std::lock_guard<std::mutex> lock(mutex_);
    if (reason.empty()) reason = session->endReason;
    endSessionLocked(session, reason);
    session->clientFd = -1;
    Log::info("stream to " + peer + " closed after " + std::to_string(bytes) + " bytes: " + reason);
}

void Player::monitorLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        changed_.wait_for(lock, std::chrono::milliseconds(settings_.monitorPeriodMs));
        if (stopping_ || !current_ || current_->attached) continue;
        const auto age = Session::Clock::now() - current_->created;
        if (current_->failed) {
            if (age > std::chrono::milliseconds(settings_.waitForPlayMs)) current_.reset();
        } else if (current_->process && current_->process->exited() && !cleanExit(current_->process->waitStatus())) {
            // A clean end is fine: a short file's whole stream may wait in the pipe.
            endSessionLocked(current_, "transcoder ended before the stream was fetched (" +
                                           ChildProcess::describeStatus(current_->process->waitStatus()) + ")");
        } else if (age > std::chrono::milliseconds(settings_.attachTimeoutMs)) {
            endSessionLocked(current_, "nobody fetched the stream");
        }
    }
}

}  // namespace oxle::server
