#include "server/Log.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>

namespace oxle::server {

namespace {

std::atomic<bool> g_verbose{false};
// Guards standard error so that lines of different threads never interleave.
std::mutex g_writeMutex;

constexpr int kLogMillisPerSecond = 1000;
constexpr std::size_t kStampBytes = 32;

void write(const std::string& message) {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const long millis =
        static_cast<long>(duration_cast<milliseconds>(now.time_since_epoch()).count() % kLogMillisPerSecond);
    std::tm local{};
    localtime_r(&seconds, &local);
    char stamp[kStampBytes];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);

    std::string line = message;
    for (char& c : line) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    std::lock_guard<std::mutex> lock(g_writeMutex);
    std::fprintf(stderr, "%s.%03ld oxle_x86: %s\n", stamp, millis, line.c_str());
    std::fflush(stderr);
}

}  // namespace

void Log::setVerbose(bool verbose) { g_verbose = verbose; }

bool Log::verbose() { return g_verbose; }

void Log::info(const std::string& message) { write(message); }

void Log::debug(const std::string& message) {
    if (g_verbose) write(message);
}

}  // namespace oxle::server
