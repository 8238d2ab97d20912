#pragma once

#include <algorithm>
#include <chrono>
#include <map>
#include <mutex>
#include <string>

namespace oxle::server {

// With a password set, listings go only to client addresses that sent the right one
// within the last twelve hours.
class PasswordGate {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::hours kValidity{12};

    explicit PasswordGate(std::string password) : password_(std::move(password)) {}

    bool enabled() const { return !password_.empty(); }
    // Records a successful attempt; true when the password matches (or none is set).
    bool offer(const std::string& address, const std::string& password, Clock::time_point now = Clock::now());
    bool allowed(const std::string& address, Clock::time_point now = Clock::now());

private:
    const std::string password_;
    // Guards granted_: command connections are served in parallel.
    std::mutex mutex_;
    std::map<std::string, Clock::time_point> granted_;
};

}  // namespace oxle::server
