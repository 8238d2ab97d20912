#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "server/DirectoryScanner.h"
#include "server/DiscSectors.h"
#include "server/DiscTitle.h"
#include "server/PathGuard.h"
#include "server/PlayStatus.h"
#include "server/Probe.h"
#include "server/ProbeTask.h"
#include "server/Session.h"
#include "server/Transcoder.h"

namespace oxle::server {

// The one playback session of the server and the commands that steer it. The command
// threads call play/stop/pause/seek/skip/status; a stream connection's thread calls
// serveStream, which pumps the transcoder's output to its client until the session
// ends. The player owns its monitor thread, which drops sessions nobody fetches; each
// session owns its transcoder.
class Player {
public:
    struct Settings {
        std::string ffmpeg = "ffmpeg";
        int waitForPlayMs = 10000;    // a stream request before any play request
        int attachTimeoutMs = 30000;  // a play request whose stream is never fetched
        int monitorPeriodMs = 500;
        std::string cdDrive;  // the one drive disc locations may name; empty: none
    };

    Player(Settings settings, const PathGuard& guard, const DirectoryScanner& scanner, const Probe& probe);
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    void start();
    // Ends the session, kills its transcoder and releases every waiting stream request.
    void shutdown();

    // Each returns false, with a log line, when it changed nothing.
    bool play(const std::string& clientPath, int startSeconds, int audioChannel);
    bool stop();
    bool togglePause();
    bool seek(int minutes);
    bool skip(int direction);
    // Drops a session nobody fetches or whose transcoder is gone; true when ffmpeg is usable.
    bool resetStuck();
    PlayStatus status();

    // Serves one "GET /dboxstream" connection; answers 404 itself when nothing plays.
    void serveStream(int clientFd, const std::string& peer);

    // Whether the configured ffmpeg can be run at all.
    bool transcoderUsable() const { return transcoder_.usable(); }

private:
    // A regular, readable file inside the roots; false with the reason in `why`.
    bool playable(const std::string& clientPath, std::string& canonical, std::string& why) const;
    // Starts ffmpeg on a guess and ffprobe beside it; returns once the stream flows or the
    // probe has answered, whichever comes first.
    bool playFile(const std::string& clientPath, Session::Source source, int from);
    // On the probe's thread: the guess gives way to what the probe found, and ffmpeg is
    // restarted when the command differs; a source ffprobe cannot read ends the session.
    void probed(const std::shared_ptr<Session>& session, const Transcoder::Guess& guessed, int from, bool ok,
                const MediaInfo& info, const std::string& why);
    // Until `guessed` wrote its first bytes, the probe answered (`probedFd` readable) or the
    // session ended.
    void awaitStart(const std::shared_ptr<Session>& session, const std::shared_ptr<ChildProcess>& guessed,
                    int probedFd);
    // Waits a little for the probe of the current session, if one is still running.
    void awaitProbeLocked(std::unique_lock<std::mutex>& lock);
    // Starts the session's transcoder at `startSeconds`, or adopts `early` for it.
    bool restart(Session& session, int startSeconds, std::string& why, std::shared_ptr<ChildProcess> early = nullptr);
    // The disc title a location names, and where its playback starts; false with the
    // reason in `why`.
    bool openDisc(const std::string& location, int startSeconds, Session::Source& source, DiscTitle::Start& start,
                  std::unique_ptr<DiscSectors>& sectors, std::string& why) const;
    // Starts a disc session's transcoder and feed at `start`, reading with `sectors` or,
    // without them, with the disc opened again.
    bool restartDisc(Session& session, const DiscTitle::Start& start, std::string& why,
                     std::unique_ptr<DiscSectors> sectors = nullptr);
    bool skipChapter(const std::shared_ptr<Session>& session, int direction);
    // The session the stream request gets, after waiting for a play request; none with
    // a log line when there is none to give.
    std::shared_ptr<Session> attachStream(int clientFd, const std::string& peer);
    void endSessionLocked(const std::shared_ptr<Session>& session, const std::string& reason);
    void monitorLoop();

    const Settings settings_;
    const Transcoder transcoder_;
    const PathGuard& guard_;
    const DirectoryScanner& scanner_;
    const Probe& probe_;

    // Serialises the control commands, which probe files outside mutex_, and guards
    // probing_.
    std::mutex commandMutex_;
    // ffprobe on the file the last play request named; its thread takes mutex_ to report.
    std::unique_ptr<ProbeTask> probing_;

    // Guards current_, starting_, answeredAt_ and stopping_, and keeps what a command does to the session in one
    // piece; taken before the session's own lock.
    std::mutex mutex_;
    std::condition_variable changed_;
    std::shared_ptr<Session> current_;
    // A file's session between its play request and the answer to it.
    std::shared_ptr<Session> starting_;
    // When the last play request was answered: a stream request is due from then on.
    Session::Clock::time_point answeredAt_{};
    bool stopping_ = false;

    std::thread monitor_;
};

}  // namespace oxle::server
