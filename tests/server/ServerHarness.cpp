#include "tests/server/ServerHarness.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "FdIo.h"
#include "MonotonicMs.h"

namespace oxle::server::test {

namespace {

constexpr std::size_t kReadChunk = 64 * 1024;
constexpr int kAnswerWaitMs = 5000;
constexpr int kWaitForPlayMs = 1000;
constexpr int kChildrenWaitMs = 5000;

// The text from `open` to the next tag, "<missing>" without `open`.
std::string textAfter(const std::string& document, const std::string& open) {
    const std::size_t start = document.find(open);
    if (start == std::string::npos) return "<missing>";
    return document.substr(start + open.size(), document.find('<', start + open.size()) - start - open.size());
}

int left(long long deadline) { return static_cast<int>(std::max(0LL, deadline - monotonicMs())); }

// The state letter and the parent of a process from /proc; {0, 0} when it is gone.
std::pair<char, pid_t> stat(const std::string& pid) {
    std::ifstream file("/proc/" + pid + "/stat");
    std::string line;
    std::getline(file, line);
    const std::size_t name = line.rfind(')');
    char state = 0;
    int parent = 0;
    if (name == std::string::npos || std::sscanf(line.c_str() + name + 1, " %c %d", &state, &parent) != 2) return {};
    return {state, parent};
}

}  // namespace

int parse(std::vector<std::string> args, Options& options, std::string& message, const std::string& defaultConfig) {
    args.insert(args.begin(), "oxle_x86");
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    return CommandLine::parse(static_cast<int>(argv.size()), argv.data(), options, message, defaultConfig);
}

std::string place(const TempDir& dir, const std::string& name, const MediaMaker::Clip& clip) {
    std::string error;
    const std::string path = dir / name;
    if (!MediaMaker::place(clip, path, error)) ADD_FAILURE() << error;
    return path;
}

StreamClient::StreamClient(std::uint16_t port, const std::string& request, const char* source, int receiveBuffer)
    : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    if (receiveBuffer > 0) ::setsockopt(fd_.get(), SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    ::inet_pton(AF_INET, source, &address.sin_addr);
    const bool bound = ::bind(fd_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (!bound || ::connect(fd_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        !fdio::writeAll(fd_.get(), request)) {
        fd_.reset();
    }
}

bool StreamClient::answered(const std::string& status) {
    if (data_.size() < status.size()) read(status.size() - data_.size(), kAnswerWaitMs);
    return data_.compare(0, status.size(), status) == 0;
}

std::size_t StreamClient::read(std::size_t count, int timeoutMs) {
    const long long deadline = monotonicMs() + timeoutMs;
    const std::size_t before = data_.size();
    std::vector<char> buffer(kReadChunk);
    while (data_.size() - before < count && !closed_ && fd_ && fdio::waitReady(fd_.get(), POLLIN, left(deadline))) {
        const ssize_t n = ::recv(fd_.get(), buffer.data(), std::min(buffer.size(), count - (data_.size() - before)), 0);
        closed_ = n <= 0;
        if (n > 0) data_.append(buffer.data(), static_cast<std::size_t>(n));
    }
    return data_.size() - before;
}

bool StreamClient::readToEnd(int timeoutMs) {
    const long long deadline = monotonicMs() + timeoutMs;
    while (!closed_ && fd_ && left(deadline) > 0) read(kReadChunk, left(deadline));
    return closed_;
}

std::string sendCommand(std::uint16_t port, const std::string& request) {
    StreamClient client(port, request);
    return client.readToEnd() ? client.data() : client.data() + "<no end>";
}

RunningServer::RunningServer(Options options) : app_(std::move(options)) {
    std::string error;
    if (!app_.start(error)) ADD_FAILURE() << "the server did not start: " << error;
}

Options RunningServer::loopback(const std::string& root) {
    Options options;
    options.roots = {root};
    options.bind = "127.0.0.1";
    options.port = 0;
    options.waitForPlayMs = kWaitForPlayMs;
    return options;
}

int RunningServer::status(const std::string& element) const {
    return std::atoi(textAfter(command("VLC|GTI|NO"), "<" + element + ">").c_str());
}

std::string RunningServer::codec() const { return textAfter(command("VLC|GTI|NO"), "<info name=\"Codec\">"); }

std::vector<pid_t> childrenOf(pid_t parent) {
    std::vector<pid_t> children;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const pid_t pid = std::atoi(entry.path().filename().c_str());
        if (pid > 0 && stat(entry.path().filename()).second == parent) children.push_back(pid);
    }
    return children;
}

std::vector<pid_t> transcodersOf(pid_t parent) {
    std::vector<pid_t> found;
    for (const pid_t pid : childrenOf(parent)) {
        std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
        std::string name;
        if (comm >> name && name == "ffmpeg") found.push_back(pid);
    }
    return found;
}

char processState(pid_t pid) { return stat(std::to_string(pid)).first; }

bool noChildrenLeft() {
    return waitUntil([] { return childrenOf(::getpid()).empty(); }, kChildrenWaitMs);
}

}  // namespace oxle::server::test
