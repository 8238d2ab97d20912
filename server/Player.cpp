#include "server/Player.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "FdIo.h"
#include "MonotonicMs.h"
#include "server/Disc.h"
#include "server/DiscFeed.h"
#include "server/DiscLocation.h"
#include "server/HttpRequest.h"
#include "server/Log.h"
#include "server/RequestParser.h"
#include "server/StreamPump.h"

namespace oxle::server {

namespace {

// Sectors a feed reads at a time: 64 KiB of a DVD, little enough to stop promptly.
constexpr std::uint32_t kFeedRunSectors = 32;
// A play request waits for the guessed ffmpeg's first output or the probe's answer; the
// probe gives up within 15 s.
constexpr int kStartWaitMs = 16000;
// How often that wait looks whether the server stops.
constexpr int kStartCheckMs = 100;
// Status, seek and skip wait this long for the probe's answer before they use the guess
// (a status from the guess has no length): long enough for ffprobe on a busy PC, short of
// the 10 s the box and the command port give a whole reply.
constexpr int kProbeWaitMs = 8000;
// What the play request waits on, in poll order.
enum StartWatched { kStartOutput, kStartProbed, kStartWatchedCount };

}  // namespace

Player::Player(Settings settings, const PathGuard& guard, const DirectoryScanner& scanner, const Probe& probe)
    : settings_(std::move(settings)), transcoder_(settings_.ffmpeg), guard_(guard), scanner_(scanner), probe_(probe) {}

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
    std::lock_guard<std::mutex> serial(commandMutex_);
    probing_.reset();
}

bool Player::playable(const std::string& clientPath, std::string& canonical, std::string& why) const {
    if (!guard_.resolve(RequestParser::undoubleBackslashes(clientPath), canonical, why)) return false;
    struct stat info {};
    if (::stat(canonical.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        why = "not a regular file";
        return false;
    }
    if (::access(canonical.c_str(), R_OK) != 0) {
        why = std::string("unreadable: ") + std::strerror(errno);
        return false;
    }
    return true;
}

bool Player::restart(Session& session, int startSeconds, std::string& why, std::shared_ptr<ChildProcess> early) {
    const Session::Source source = session.source();
    const bool guessed = early != nullptr;
    std::shared_ptr<ChildProcess> process = std::move(early);
    if (!process) process = transcoder_.start(source.path, source.info, startSeconds, source.audioChannel, why);
    if (!process) {
        why = "cannot start the transcoder: " + why;
        return false;
    }
    Transcoder::announce(*process, source.path, source.info, startSeconds, source.audioChannel, guessed);
    if (!session.restart(std::move(process), startSeconds)) {
        why = "the session has ended";
        return false;
    }
    return true;
}

bool Player::openDisc(const std::string& location, int startSeconds, Session::Source& source, DiscTitle::Start& start,
                      std::unique_ptr<DiscSectors>& sectors, std::string& why) const {
    DiscLocation parsed;
    if (!DiscLocation::parse(location, settings_.cdDrive, parsed, why)) return false;
    auto title = std::make_shared<DiscTitle>();
    sectors = Disc::open(parsed.kind, parsed.drive, parsed.title, *title, why);
    if (!sectors) return false;
    if (!title->chapterStart(parsed.chapter, start)) {
        const int count = title->chapterCount();
        if (title->kind == DiscTitle::Kind::Dvd) {
            why = "chapter " + std::to_string(parsed.chapter) + " does not exist: title " +
                  std::to_string(parsed.title) + " has " + std::to_string(count) +
                  (count == 1 ? " chapter" : " chapters") + " (the disc has " + std::to_string(title->titleCount) +
                  (title->titleCount == 1 ? " title)" : " titles)");
        } else {
            why = "entry " + std::to_string(parsed.chapter) + " does not exist: the disc has " + std::to_string(count) +
                  (count == 1 ? " entry" : " entries");
        }
        sectors.reset();
        return false;
    }
    if (startSeconds > 0) start = title->at(start.seconds + startSeconds);
    source.path = location;
    source.info = title->info;
    source.disc = std::move(title);
    return true;
}

bool Player::restartDisc(Session& session, const DiscTitle::Start& start, std::string& why,
                         std::unique_ptr<DiscSectors> sectors) {
    const Session::Source source = session.source();
    const DiscTitle& title = *source.disc;
    if (!sectors) sectors = Disc::reopen(title, why);
    if (!sectors) {
        why = "the disc cannot be read again: " + why;
        return false;
    }
    std::shared_ptr<ChildProcess> process = transcoder_.startDisc(title, source.audioChannel, why);
    if (!process) {
        why = "cannot start the transcoder: " + why;
        return false;
    }
    auto feed = std::make_unique<DiscFeed>(std::move(sectors), title.plan(start, kFeedRunSectors), process->takeStdin(),
                                           title.drive);
    Log::info("transcoder " + std::to_string(process->pid()) + " for " + source.path + " from " +
              std::to_string(static_cast<int>(start.seconds)) + " s (" + Disc::partName(title) + " " +
              std::to_string(title.chapterAt(start.seconds)) + ", sector " + std::to_string(start.sector) +
              "), audio track " + std::to_string(FfmpegCommand::audioIndex(source.info, source.audioChannel) + 1) +
              (FfmpegCommand::discRemux(title) ? " (remux)" : " (transcode)"));
    if (!session.restart(std::move(process), start.seconds, std::move(feed))) {
        why = "the session has ended";
        return false;
    }
    return true;
}

bool Player::play(const std::string& clientPath, int startSeconds, int audioChannel) {
    std::lock_guard<std::mutex> serial(commandMutex_);
    {
        // The old session goes first: its transcoder would only slow the new start down.
        std::lock_guard<std::mutex> lock(mutex_);
        if (current_) endSessionLocked(current_, "a new play request");
    }
    // Outside mutex_: the probe's thread may be waiting for it to report.
    probing_.reset();

    const int from = std::max(0, startSeconds);
    std::shared_ptr<Session> session;
    Session::Source source;
    source.audioChannel = audioChannel;
    std::string why;
    DiscTitle::Start discStart;
    std::unique_ptr<DiscSectors> discSectors;
    if (DiscLocation::isDisc(clientPath)) {
        if (!openDisc(clientPath, from, source, discStart, discSectors, why))
            session = Session::refused(clientPath, why);
    } else if (!playable(clientPath, source.path, why)) {
        session = Session::refused(clientPath, why);
    } else {
        return playFile(clientPath, std::move(source), from);
    }

    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return false;
    if (!session) {
        session = std::make_shared<Session>(std::move(source));
        if (!restartDisc(*session, discStart, why, std::move(discSectors))) session = Session::refused(clientPath, why);
    }
    current_ = session;
    answeredAt_ = Session::Clock::now();
    changed_.notify_all();
    return !session->failed();
}

bool Player::playFile(const std::string& clientPath, Session::Source source, int from) {
    const int channel = source.audioChannel;
    auto guessed = std::make_shared<const Transcoder::Guess>(transcoder_.guess(source.path, from, channel));
    source.info = guessed->info;
    source.guessed = true;
    const std::string path = source.path;
    auto session = std::make_shared<Session>(std::move(source));
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return false;
        std::string why;
        // Without a guessed ffmpeg the probe decides alone, and starts the right one.
        if (guessed->process && !restart(*session, from, why, guessed->process)) return false;
        starting_ = session;
    }
    probing_ = std::make_unique<ProbeTask>(
        probe_, path, [this, session, guessed, from](bool ok, const MediaInfo& info, const std::string& why) {
            probed(session, *guessed, from, ok, info, why);
        });
    awaitStart(session, guessed->process, probing_->finishedFd());

    std::lock_guard<std::mutex> lock(mutex_);
    starting_.reset();
    if (stopping_) {
        session->end("server shutting down");
        return false;
    }
    // A stream request that came early attaches only now, so that it never outruns the answer.
    current_ = session->liveTranscoder() ? session : Session::refused(clientPath, session->endReason());
    answeredAt_ = Session::Clock::now();
    changed_.notify_all();
    return !current_->failed();
}

void Player::probed(const std::shared_ptr<Session>& session, const Transcoder::Guess& guessed, int from, bool ok,
                    const MediaInfo& info, const std::string& why) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_ || (current_ != session && starting_ != session)) return;
    const Session::Source source = session->source();
    std::string failure = why;
    bool failed = !ok;
    if (ok) {
        session->learn(info);
        if (!guessed.process || !transcoder_.agrees(guessed, source.path, info, from, source.audioChannel)) {
            // From the requested start: what the guess sent may not have been a picture at all.
            if (guessed.process) Log::info("ffprobe contradicts the guess for " + source.path + ": ffmpeg restarted");
            failed = !restart(*session, from, failure);
        }
        session->settle();
    }
    if (failed) {
        session->end(failure, false);
        // A session still starting is refused by its play request.
        if (current_ == session) current_ = Session::refused(source.path, failure);
    }
    changed_.notify_all();
}

void Player::awaitStart(const std::shared_ptr<Session>& session, const std::shared_ptr<ChildProcess>& guessed,
                        int probedFd) {
    int outputFd = guessed ? guessed->stdoutFd() : -1;
    const long long deadline = monotonicMs() + kStartWaitMs;
    for (long long left = kStartWaitMs; left > 0; left = deadline - monotonicMs()) {
        pollfd fds[kStartWatchedCount] = {};
        fds[kStartOutput] = {outputFd, POLLIN, 0};
        fds[kStartProbed] = {probedFd, POLLIN, 0};
        if (::poll(fds, kStartWatchedCount, static_cast<int>(std::min<long long>(left, kStartCheckMs))) < 0 &&
            errno != EINTR) {
            return;
        }
        if (fds[kStartProbed].revents != 0) return;
        if (fds[kStartOutput].revents != 0) {
            int waiting = 0;
            // Output means ffmpeg took the source: the stream can start while the probe ends.
            if (::ioctl(outputFd, FIONREAD, &waiting) == 0 && waiting > 0) return;
            outputFd = -1;  // ended without output: the probe decides
        }
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_ || !session->liveTranscoder()) return;
    }
}

void Player::endSessionLocked(const std::shared_ptr<Session>& session, const std::string& reason) {
    session->end(reason);
    if (current_ == session) current_.reset();
    changed_.notify_all();
}

bool Player::stop() {
    std::lock_guard<std::mutex> serial(commandMutex_);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!current_) return false;
        endSessionLocked(current_, "stop requested");
    }
    // Outside mutex_, as in play(): nobody is left to take its answer.
    probing_.reset();
    return true;
}

bool Player::togglePause() {
    std::lock_guard<std::mutex> serial(commandMutex_);
    std::lock_guard<std::mutex> lock(mutex_);
    return current_ && current_->togglePause();
}

bool Player::seek(int minutes) {
    std::lock_guard<std::mutex> serial(commandMutex_);
    std::unique_lock<std::mutex> lock(mutex_);
    // The length bounds the target, and the command must be the one the source needs.
    awaitProbeLocked(lock);
    if (!current_ || current_->failed()) return false;
    std::string why;
    const std::shared_ptr<const DiscTitle> disc = current_->source().disc;
    const int target = current_->seekTarget(minutes);
    const bool started = disc ? restartDisc(*current_, disc->at(target), why) : restart(*current_, target, why);
    if (!started) {
        endSessionLocked(current_, why);
        return false;
    }
    return true;
}

bool Player::skip(int direction) {
    std::lock_guard<std::mutex> serial(commandMutex_);
    std::shared_ptr<Session> session;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        awaitProbeLocked(lock);
        if (!current_ || current_->failed()) return false;
        session = current_;
    }
    Session::Source next = session->source();
    if (next.disc) return skipChapter(session, direction);
    const std::string path = next.path;
    std::string neighbour;
    if (!scanner_.neighbour(path, direction, neighbour)) {
        Log::info(std::string("no ") + (direction > 0 ? "next" : "previous") + " file after " + path);
        return false;
    }
    std::string why;
    if (!guard_.resolve(neighbour, next.path, why) || !probe_.run(next.path, next.info, why)) {
        Log::info("cannot skip to " + neighbour + ": " + why);
        return false;
    }
    next.guessed = false;
    std::lock_guard<std::mutex> lock(mutex_);
    if (current_ != session) return false;
    session->switchTo(std::move(next));
    if (!restart(*session, 0, why)) {
        endSessionLocked(session, why);
        return false;
    }
    return true;
}

bool Player::skipChapter(const std::shared_ptr<Session>& session, int direction) {
    const std::shared_ptr<const DiscTitle> title = session->source().disc;
    const int chapter = title->chapterAt(session->position());
    DiscTitle::Start start;
    if (!title->chapterStart(chapter + direction, start)) {
        Log::info(std::string("no ") + (direction > 0 ? "next " : "previous ") + Disc::partName(*title) + " from " +
                  Disc::partName(*title) + " " + std::to_string(chapter) + " of " +
                  std::to_string(title->chapterCount()));
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (current_ != session) return false;
    std::string why;
    if (!restartDisc(*session, start, why)) {
        endSessionLocked(session, why);
        return false;
    }
    return true;
}

bool Player::resetStuck() {
    std::lock_guard<std::mutex> serial(commandMutex_);
    bool ended = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        int status = 0;
        if (current_ && (current_->failed() || !current_->attached() || current_->transcoderFailed(status))) {
            endSessionLocked(current_, "reset on status request");
            ended = true;
        }
    }
    if (ended) probing_.reset();
    return transcoderUsable();
}

void Player::awaitProbeLocked(std::unique_lock<std::mutex>& lock) {
    changed_.wait_for(lock, std::chrono::milliseconds(kProbeWaitMs),
                      [this] { return stopping_ || !current_ || !current_->source().guessed; });
}

PlayStatus Player::status() {
    std::unique_lock<std::mutex> lock(mutex_);
    awaitProbeLocked(lock);
    if (!current_ || current_->failed()) return PlayStatus();
    return current_->status();
}

std::shared_ptr<Session> Player::attachStream(int clientFd, const std::string& peer) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(settings_.waitForPlayMs),
                      [this] { return stopping_ || current_ != nullptr; });
    std::string refusal;
    if (stopping_) {
        refusal = "the server is shutting down";
    } else if (!current_) {
        refusal = "nothing was asked to play";
    } else if (current_->failed()) {
        refusal = "the play request failed: " + current_->failure();
        current_.reset();
    } else if (!current_->attach(clientFd)) {
        refusal = "another client is streaming";
    } else {
        return current_;
    }
    Log::info("stream request from " + peer + " refused: " + refusal);
    return nullptr;
}

void Player::serveStream(int clientFd, const std::string& peer) {
    const std::shared_ptr<Session> session = attachStream(clientFd, peer);
    if (!session) {
        fdio::writeAll(clientFd, HttpRequest::kNotFound);
        return;
    }
    StreamPump pump(session, clientFd, peer);
    std::string reason = pump.run();

    std::lock_guard<std::mutex> lock(mutex_);
    if (reason.empty()) reason = session->endReason();
    endSessionLocked(session, reason);
    session->detach();
    Log::info("stream to " + peer + " closed after " + std::to_string(pump.bytesSent()) + " bytes: " + reason);
}

void Player::monitorLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        changed_.wait_for(lock, std::chrono::milliseconds(settings_.monitorPeriodMs));
        // A guessed transcoder may fail on a source it does not fit; the probe replaces it.
        if (stopping_ || !current_ || current_->attached() || current_->source().guessed) continue;
        const auto age = Session::Clock::now() - std::max(current_->created(), answeredAt_);
        int status = 0;
        if (current_->failed()) {
            if (age > std::chrono::milliseconds(settings_.waitForPlayMs)) current_.reset();
        } else if (current_->transcoderFailed(status)) {
            // A clean end is fine: a short file's whole stream may wait in the pipe.
            endSessionLocked(current_, "transcoder ended before the stream was fetched (" +
                                           ChildProcess::describeStatus(status) + ")");
        } else if (age > std::chrono::milliseconds(settings_.attachTimeoutMs)) {
            endSessionLocked(current_, "nobody fetched the stream");
        }
    }
}

}  // namespace oxle::server
