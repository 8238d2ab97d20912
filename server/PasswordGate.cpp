#include "server/PasswordGate.h"

#include "server/Log.h"

namespace oxle::server {

namespace {

// Addresses whose failures are remembered; beyond, the longest quiet one is forgotten.
constexpr std::size_t kMaxTrackedAddresses = 1024;

// Compares without an early exit, so the time taken tells nothing about the password.
bool sameText(const std::string& a, const std::string& b) {
    unsigned char difference = a.size() == b.size() ? 0 : 1;
    const std::size_t length = std::max(a.size(), b.size());
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char x = i < a.size() ? static_cast<unsigned char>(a[i]) : 0;
        const unsigned char y = i < b.size() ? static_cast<unsigned char>(b[i]) : 0;
        difference = static_cast<unsigned char>(difference | (x ^ y));
    }
    return difference == 0;
}

}  // namespace

PasswordGate::Failures& PasswordGate::failuresLocked(const std::string& address, Clock::time_point now) {
    const auto found = failures_.find(address);
    if (found != failures_.end()) {
        if (now - found->second.last > kForgetFailures) found->second = Failures();
        return found->second;
    }
    if (failures_.size() >= kMaxTrackedAddresses) {
        auto quietest = failures_.begin();
        for (auto it = failures_.begin(); it != failures_.end(); ++it) {
            if (it->second.last < quietest->second.last) quietest = it;
        }
        failures_.erase(quietest);
    }
    return failures_[address];
}

PasswordGate::Answer PasswordGate::attempt(const std::string& address, const std::string& password,
                                           Clock::time_point now) {
    if (!enabled()) return Answer::Granted;
    std::lock_guard<std::mutex> lock(mutex_);
    Failures& failures = failuresLocked(address, now);
    if (failures.count >= kFreeFailures) {
        if (now - failures.windowStart >= kWindow) {
            failures.windowStart = now;
            failures.triesInWindow = 0;
        }
        if (failures.triesInWindow >= kTriesPerWindow) return Answer::Throttled;
        ++failures.triesInWindow;
    }
    if (!sameText(password, password_)) {
        failures.last = now;
        if (++failures.count == kFreeFailures) {
            failures.windowStart = now;
            Log::info(address + " sent " + std::to_string(kFreeFailures) + " wrong passwords: from now on " +
                      std::to_string(kTriesPerWindow) + " tries a minute are compared, the rest refused unread");
        }
        return Answer::Wrong;
    }
    failures_.erase(address);
    granted_[address] = now;
    return Answer::Granted;
}

bool PasswordGate::allowed(const std::string& address, Clock::time_point now) {
    if (!enabled()) return true;
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = granted_.find(address);
    if (it == granted_.end()) return false;
    if (now - it->second > kValidity) {
        granted_.erase(it);
        return false;
    }
    return true;
}

}  // namespace oxle::server
