#include "server/PasswordGate.h"

namespace oxle::server {

namespace {

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

bool PasswordGate::offer(const std::string& address, const std::string& password, Clock::time_point now) {
    if (!enabled()) return true;
    if (!sameText(password, password_)) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    granted_[address] = now;
    return true;
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
