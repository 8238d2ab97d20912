#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include "UniqueFd.h"
#include "server/ChildProcess.h"
#include "server/DiscFeed.h"
#include "server/DiscTitle.h"
#include "server/MediaInfo.h"
#include "server/PlayStatus.h"

namespace oxle::server {

// One play request and everything that follows from it: the transcoder (replaced on
// seek and skip), the stream client it feeds, and the clock of what has been played.
// The command threads, the stream thread that pumps it and the player's monitor share
// it; every method is safe on any thread. The player holds its own lock around calls
// that must go together, always before this session's.
class Session {
public:
    using Clock = std::chrono::steady_clock;

    // What plays: a seek keeps it, a skip replaces it.
    struct Source {
        std::string path;  // canonical; a disc's location as the box sent it
        MediaInfo info;
        int audioChannel = 1;
        std::shared_ptr<const DiscTitle> disc = nullptr;  // the title of a disc location, else none
        // `info` is what the name and the first bytes suggest, until ffprobe has answered.
        bool guessed = false;
    };

    // Where output read from a transcoder stands.
    enum class Feed { Current, Replaced, Ended };

    explicit Session(Source source);
    // A refused play request, kept so that the stream request that follows gets its 404.
    static std::shared_ptr<Session> refused(const std::string& clientPath, const std::string& why);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool failed() const { return failed_; }
    const std::string& failure() const { return failure_; }
    Clock::time_point created() const { return created_; }

    Source source() const;
    void switchTo(Source next);
    // What ffprobe found replaces the guess, for the transcoder a restart starts.
    void learn(const MediaInfo& info);
    // The transcoder now is the one the probe's findings make; wakes the pump, which waits
    // for this at the end of a guessed transcoder's output.
    void settle();
    // Whether ffprobe has yet to answer.
    bool guessed() const;
    // Makes `process`, started at `startSeconds` of the source, the transcoder, and `feed`
    // (for a disc) what feeds it; a paused session stays paused. False, with `process`
    // killed, once the session has ended.
    bool restart(std::shared_ptr<ChildProcess> process, double startSeconds, std::unique_ptr<DiscFeed> feed = nullptr);
    // False when there is no transcoder to pause or release.
    bool togglePause();
    // Where a seek by `minutes` lands: inside the source, short of its very end.
    int seekTarget(int minutes) const;
    PlayStatus status() const;
    // Seconds into the source, pauses left out.
    double position() const;
    // The transcoder ended by itself and not cleanly; `status` is its wait status.
    bool transcoderFailed(int& status) const;

    // Kills the transcoder, shuts the stream client's socket down and wakes the pump.
    // False when the session had ended already. `announce`: with a log line.
    bool end(const std::string& reason, bool announce = true);
    std::string endReason() const;

    // One stream client takes the session; false when one has already.
    bool attach(int clientFd);
    bool attached() const;
    // The stream client's thread is about to close its socket.
    void detach();

    // For the pump: the transcoder to read, none once the session has ended.
    std::shared_ptr<ChildProcess> liveTranscoder() const;
    Feed feed(const std::shared_ptr<ChildProcess>& process) const;
    // Output of `process` is about to go out: starts the play clock at its first byte.
    // False when a seek or skip replaced it, so its output is stale.
    bool deliver(const std::shared_ptr<ChildProcess>& process);
    // Readable when the session changed (new transcoder, end); the pump polls it.
    int wakeFd() const { return wakeFd_.get(); }
    void drainWake();

private:
    Session(const std::string& clientPath, const std::string& why);
    void wake();
    // Seconds into the source, pauses left out, within the source's length.
    double positionLocked() const;

    const bool failed_ = false;  // the request was refused; the stream request gets 404
    const std::string failure_;
    const Clock::time_point created_ = Clock::now();
    const UniqueFd wakeFd_;

    // Guards everything below.
    mutable std::mutex mutex_;
    Source source_;
    bool ended_ = false;
    std::string endReason_;
    std::shared_ptr<ChildProcess> process_;
    std::unique_ptr<DiscFeed> feed_;  // goes with process_, after it
    bool attached_ = false;
    // The stream client's socket, owned by its connection thread; kept to shut it down
    // when the session ends, and -1 once that thread has let go of it.
    int clientFd_ = -1;
    bool paused_ = false;
    double baseSeconds_ = 0.0;   // source position where the current transcoder started
    bool clockStarted_ = false;  // the current transcoder's first byte reached the client
    bool clockRunning_ = false;
    Clock::time_point clockStart_{};
    double playedSeconds_ = 0.0;  // since baseSeconds_, pauses left out
};

}  // namespace oxle::server
