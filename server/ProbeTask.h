#pragma once

#include <functional>
#include <string>
#include <thread>

#include "UniqueFd.h"
#include "server/MediaInfo.h"
#include "server/Probe.h"

namespace oxle::server {

// ffprobe on one source, on a thread of its own, so that ffmpeg starts meanwhile. The task
// owns its thread: destroying it cancels the probe and waits for the thread.
class ProbeTask {
public:
    // Called on the task's thread with what the probe found, unless it was cancelled.
    using Done = std::function<void(bool ok, const MediaInfo& info, const std::string& why)>;

    ProbeTask(const Probe& probe, std::string path, Done done);
    ~ProbeTask();
    ProbeTask(const ProbeTask&) = delete;
    ProbeTask& operator=(const ProbeTask&) = delete;

    // Readable once `done` has returned, or the probe has given up.
    int finishedFd() const { return finished_.get(); }

private:
    void run(const Probe& probe, const std::string& path, const Done& done);

    const UniqueFd cancel_;
    const UniqueFd finished_;
    std::thread thread_;
};

}  // namespace oxle::server
