#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "server/ChildProcess.h"
#include "server/MediaInfo.h"

namespace oxle::server {

// One play request and everything that follows from it: the transcoder (replaced on
// seek and skip), the stream client it feeds, and the clock of what has been played.
// Player's mutex guards every field; the wake descriptor itself is thread-safe.
struct Session {
    using Clock = std::chrono::steady_clock;

    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Tells the stream thread that its state changed (new transcoder, end).
    void wake();
    void drainWake();

    std::string path;  // canonical path of the file playing
    MediaInfo info;
    int audioChannel = 1;
    Clock::time_point created = Clock::now();

    bool failed = false;  // the request was refused; the stream request gets 404
    std::string failure;
    bool ended = false;
    std::string endReason;

    std::shared_ptr<ChildProcess> process;
    bool attached = false;  // a stream client has taken this session
    int clientFd = -1;      // that client's socket while its thread serves it

    bool paused = false;
    int baseSeconds = 0;        // source position where the current transcoder started
    bool clockStarted = false;  // the current transcoder's first byte reached the client
    bool clockRunning = false;
    Clock::time_point clockStart{};
    double playedSeconds = 0.0;  // since baseSeconds, pauses left out

    int wakeFd = -1;
};

}  // namespace oxle::server
