#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>

namespace oxle::server {

// Logs refusals of one kind at most once a minute per client address, so that a flood
// of connections costs a log line a minute, not a line each. The next line of an
// address says how many refusals went unlogged since its last one.
class RefusalLog {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::minutes kInterval{1};

    explicit RefusalLog(std::string subject) : subject_(std::move(subject)) {}

    // True when this refusal was logged.
    bool refuse(const std::string& address, const std::string& why, Clock::time_point now = Clock::now());

private:
    struct Entry {
        Clock::time_point logged;
        std::size_t unlogged = 0;
    };

    void forgetStaleLocked(Clock::time_point now);

    const std::string subject_;
    // Guards entries_: every connection thread and the acceptor refuse through one log.
    std::mutex mutex_;
    std::map<std::string, Entry> entries_;
};

}  // namespace oxle::server
