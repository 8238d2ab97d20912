#include "tests/server/ServerHarness.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <thread>

#include "FdIo.h"
#include "MonotonicMs.h"

namespace oxle::server::test {

namespace {

constexpr std::size_t kReadChunk = 64 * 1024;
constexpr int kCommandWaitMs = 20000;
constexpr int kAnswerWaitMs = 5000;
constexpr int kWaitForPlayMs = 1000;
constexpr int kPollMs = 10;
constexpr int kChildrenWaitMs = 5000;

UniqueFd connectLoopback(std::uint16_t port) {
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) fd.reset();
    return fd;
}

// The text from `open` to the next tag, "<missing>" without `open`.
std::string textAfter(const std::string& document, const std::string& open) {
    const std::size_t start = document.find(open);
    if (start == std::string::npos) return "<missing>";
    return document.substr(start + open.size(), document.find('<', start + open.size()) - start - open.size());
}

int left(long long deadline) { return static_cast<int>(std::max(0LL, deadline - monotonicMs())); }

// The process's state letter and parent from /proc/PID/stat; false when it is gone.
bool readStat(const std::string& pid, char& state, pid_t& parent) {
    std::ifstream stat("/proc/" + pid + "/stat");
    std::string line;
    std::getline(stat, line);
    const std::size_t name = line.rfind(')');
    int parentPid = 0;
    if (name == std::string::npos || std::sscanf(line.c_str() + name + 1, " %c %d", &state, &parentPid) != 2) {
        return false;
    }
    parent = parentPid;
    return true;
}

}  // namespace

std::string place(const TempDir& dir, const std::string& name, const MediaMaker::Clip& clip) {
    std::string error;
    const std::string path = dir / name;
    if (!MediaMaker::place(clip, path, error)) {
        ADD_FAILURE() << error;
    }
    return path;
}

std::string sendCommand(std::uint16_t port, const std::string& request) {
    const UniqueFd fd = connectLoopback(port);
    if (!fd || !fdio::writeAll(fd.get(), request)) return "<no connection>";
    std::string reply;
    char buffer[4096];
    const long long deadline = monotonicMs() + kCommandWaitMs;
    while (true) {
        if (!fdio::waitReady(fd.get(), POLLIN, left(deadline))) return reply + "<time-out>";
        const ssize_t got = ::recv(fd.get(), buffer, sizeof buffer, 0);
        if (got <= 0) return reply;
        reply.append(buffer, static_cast<std::size_t>(got));
    }
}

RunningServer::RunningServer(Options options) : app_(std::move(options)) {
    std::string error;
    if (!app_.start(error)) {
        ADD_FAILURE() << "the server did not start: " << error;
    }
}

Options RunningServer::loopback(const std::string& root) {
    Options options;
    options.roots = {root};
    options.bind = "127.0.0.1";
    options.port = 0;
    options.streamPort = 0;
    options.waitForPlayMs = kWaitForPlayMs;
    return options;
}

int RunningServer::status(const std::string& element) const {
    return std::atoi(textAfter(command("VLC|GTI|NO"), "<" + element + ">").c_str());
}

std::string RunningServer::codec() const { return textAfter(command("VLC|GTI|NO"), "<info name=\"Codec\">"); }

StreamClient::StreamClient(std::uint16_t port, const std::string& request) : fd_(connectLoopback(port)) {
    if (fd_) fdio::writeAll(fd_.get(), request);
}

bool StreamClient::answered(const std::string& status) {
    if (data_.size() < status.size()) read(status.size() - data_.size(), kAnswerWaitMs);
    return data_.compare(0, status.size(), status) == 0;
}

std::size_t StreamClient::read(std::size_t count, int timeoutMs) {
    const long long deadline = monotonicMs() + timeoutMs;
    std::size_t got = 0;
    std::vector<char> buffer(kReadChunk);
    while (got < count && !closed_ && fd_ && fdio::waitReady(fd_.get(), POLLIN, left(deadline))) {
        const ssize_t n = ::recv(fd_.get(), buffer.data(), std::min(buffer.size(), count - got), 0);
        closed_ = n <= 0;
        if (n > 0) {
            data_.append(buffer.data(), static_cast<std::size_t>(n));
            got += static_cast<std::size_t>(n);
        }
    }
    return got;
}

bool StreamClient::readToEnd(int timeoutMs) {
    const long long deadline = monotonicMs() + timeoutMs;
    while (!closed_ && left(deadline) > 0) read(kReadChunk, left(deadline));
    return closed_;
}

std::vector<pid_t> childrenOf(pid_t parent) {
    std::vector<pid_t> children;
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) return children;
    while (const dirent* entry = ::readdir(proc)) {
        char state = 0;
        pid_t parentPid = 0;
        const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
        if (pid > 0 && readStat(entry->d_name, state, parentPid) && parentPid == parent) children.push_back(pid);
    }
    ::closedir(proc);
    return children;
}

char processState(pid_t pid) {
    char state = 0;
    pid_t parent = 0;
    return readStat(std::to_string(pid), state, parent) ? state : 0;
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
    // Signals and exits land a moment after the call that caused them returns.
    const long long deadline = monotonicMs() + timeoutMs;
    while (!done()) {
        if (monotonicMs() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
    return true;
}

bool noChildrenLeft() {
    return waitUntil([] { return childrenOf(::getpid()).empty(); }, kChildrenWaitMs);
}

}  // namespace oxle::server::test
