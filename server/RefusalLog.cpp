#include "server/RefusalLog.h"

#include "server/Log.h"

namespace oxle::server {

namespace {

// Beyond this many addresses in one minute the rest share one line a minute.
constexpr std::size_t kMaxAddresses = 1024;
constexpr const char* kOtherAddresses = "other addresses";

}  // namespace

void RefusalLog::forgetStaleLocked(Clock::time_point now) {
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (now - it->second.logged >= kInterval) {
            it = entries_.erase(it);
        } else {
            ++it;
        }
    }
}

bool RefusalLog::refuse(const std::string& address, const std::string& why, Clock::time_point now) {
    std::size_t unlogged = 0;
    std::string key = address;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = entries_.find(key);
        if (it == entries_.end() && entries_.size() >= kMaxAddresses) {
            forgetStaleLocked(now);
            if (entries_.size() >= kMaxAddresses) key = kOtherAddresses;
            it = entries_.find(key);
        }
        if (it != entries_.end() && now - it->second.logged < kInterval) {
            ++it->second.unlogged;
            return false;
        }
        if (it != entries_.end()) unlogged = it->second.unlogged;
        entries_[key] = Entry{now, 0};
    }
    std::string line = subject_ + ": refused " + address + " (" + why + ")";
    if (key != address) line += "; refusals of more addresses are logged together";
    if (unlogged > 0) line += "; " + std::to_string(unlogged) + " more since the last line";
    Log::info(line);
    return true;
}

}  // namespace oxle::server
