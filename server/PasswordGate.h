#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>

namespace oxle::server {

// With a password set, media and the PC's controls go only to client addresses that
// sent the right one within the last twelve hours. Guessing is slowed per address:
// after kFreeFailures wrong passwords, only kTriesPerWindow tries a window are even
// compared; the rest are turned away unread.
class PasswordGate {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::hours kValidity{12};
    static constexpr int kFreeFailures = 10;
    static constexpr int kTriesPerWindow = 5;
    static constexpr std::chrono::minutes kWindow{1};
    // An address that tried nothing for this long starts afresh.
    static constexpr std::chrono::hours kForgetFailures{1};

    enum class Answer { Granted, Wrong, Throttled };

    explicit PasswordGate(std::string password) : password_(std::move(password)) {}

    bool enabled() const { return !password_.empty(); }
    // Granted records the address (always so without a password).
    Answer attempt(const std::string& address, const std::string& password, Clock::time_point now = Clock::now());
    bool offer(const std::string& address, const std::string& password, Clock::time_point now = Clock::now()) {
        return attempt(address, password, now) == Answer::Granted;
    }
    bool allowed(const std::string& address, Clock::time_point now = Clock::now());

private:
    struct Failures {
        int count = 0;
        int triesInWindow = 0;
        Clock::time_point windowStart;
        Clock::time_point last;
    };

    // The failures of `address`, made room for among those of other addresses.
    Failures& failuresLocked(const std::string& address, Clock::time_point now);

    const std::string password_;
    // Guards granted_ and failures_: command connections are served in parallel.
    std::mutex mutex_;
    std::map<std::string, Clock::time_point> granted_;
    std::map<std::string, Failures> failures_;
};

}  // namespace oxle::server
