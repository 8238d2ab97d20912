#pragma once

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "UniqueFd.h"
#include "server/DiscSectors.h"
#include "server/DiscTitle.h"

namespace oxle::server {

// Reads a disc title's sectors from a start to the end and writes them to a transcoder's
// standard input, on a thread of its own that owns the reader and the pipe. Closing the
// pipe at the end is the transcoder's end of input; a disc that can no longer be read
// ends it the same way, with one log line. A paused transcoder leaves the thread
// waiting on the full pipe.
class DiscFeed {
public:
    DiscFeed(std::unique_ptr<DiscSectors> sectors, std::vector<DiscTitle::Run> plan, UniqueFd input, std::string drive);
    // Stops the thread and waits for it.
    ~DiscFeed();
    DiscFeed(const DiscFeed&) = delete;
    DiscFeed& operator=(const DiscFeed&) = delete;

private:
    void run();
    // False when the transcoder is gone or the feed is stopping.
    bool write(const std::vector<std::uint8_t>& bytes);

    std::unique_ptr<DiscSectors> sectors_;
    const std::vector<DiscTitle::Run> plan_;
    UniqueFd input_;
    const std::string drive_;
    const UniqueFd stopFd_;  // an eventfd: readable once the owner wants the thread gone
    std::thread thread_;
};

}  // namespace oxle::server
