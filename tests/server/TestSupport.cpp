#include "tests/server/TestSupport.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "server/ChildProcess.h"

namespace oxle::server::test {

namespace {

constexpr int kGenerateTimeoutMs = 60000;
constexpr std::size_t kFirstReadBytes = 511;
constexpr std::size_t kTsPacket = 188;
constexpr std::uint8_t kSync = 0x47;

void generate(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error", "-y"};
    argv.insert(argv.end(), args.begin(), args.end());
    ChildProcess ffmpeg;
    std::string error;
    if (!ffmpeg.start(ChildProcess::Spec(argv), error)) throw std::runtime_error("cannot run ffmpeg: " + error);
    int status = 0;
    if (!ffmpeg.waitFor(kGenerateTimeoutMs, status) || status != 0) {
        throw std::runtime_error("ffmpeg could not make " + argv.back());
    }
}

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

int connectLoopback(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

const TestMedia& TestMedia::get() {
    // ctest runs every test in a process of its own: the media are made once into a
    // cache beside the test binary and shared. A fresh set is built under a temporary
    // name and renamed into place, so no process ever sees half of it.
    static TestMedia media = [] {
        const std::string cache = OXLE_TEST_MEDIA_CACHE;
        TestMedia made;
        made.dir = cache;
        made.clipMp4 = made.dir + "/clip.mp4";
        made.clipTs = made.dir + "/clip.ts";
        made.songMp3 = made.dir + "/song.mp3";
        made.longMp4 = made.dir + "/long.mp4";
        made.longMp3 = made.dir + "/long.mp3";
        if (std::filesystem::is_directory(cache)) return made;

        const std::string parent = std::filesystem::path(cache).parent_path().string();
        std::filesystem::create_directories(parent);
        std::string pattern = parent + "/media-making-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed in " + parent);
        const std::string work = pattern;
        generate({"-f",      "lavfi",     "-i",        "testsrc=size=640x360:rate=25",
                  "-f",      "lavfi",     "-i",        "sine=frequency=440:sample_rate=44100",
                  "-t",      "3",         "-c:v",      "libx264",
                  "-preset", "ultrafast", "-pix_fmt",  "yuv420p",
                  "-c:a",    "aac",       "-shortest", work + "/clip.mp4"});
        generate({"-f", "lavfi", "-i", "testsrc=size=720x576:rate=25", "-f", "lavfi", "-i",
                  "sine=frequency=440:sample_rate=48000", "-t", "3", "-c:v", "mpeg2video", "-c:a", "mp2", "-shortest",
                  "-f", "mpegts", work + "/clip.ts"});
        generate({"-f", "lavfi", "-i", "sine=frequency=660:sample_rate=44100", "-t", "3", "-c:a", "libmp3lame",
                  work + "/song.mp3"});
        generate({"-f",      "lavfi",     "-i",        "testsrc=size=160x120:rate=25",
                  "-f",      "lavfi",     "-i",        "sine=frequency=440:sample_rate=44100",
                  "-t",      "150",       "-c:v",      "libx264",
                  "-preset", "ultrafast", "-pix_fmt",  "yuv420p",
                  "-c:a",    "aac",       "-shortest", work + "/long.mp4"});
        generate({"-f", "lavfi", "-i", "sine=frequency=330:sample_rate=44100", "-t", "150", "-c:a", "libmp3lame",
                  work + "/long.mp3"});
        if (::rename(work.c_str(), cache.c_str()) != 0) {
            // Another test process got there first; its set is as good as ours.
            std::error_code ignored;
            std::filesystem::remove_all(work, ignored);
        }
        return made;
    }();
    return media;
}

TempDir::TempDir() {
    char pattern[] = "/tmp/oxle-server-test-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    if (made == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = made;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::file(const std::string& name, const std::string& content) const {
    const std::string full = path_ + "/" + name;
    std::ofstream(full, std::ios::binary) << content;
    return full;
}

std::string TempDir::subdir(const std::string& name) const {
    const std::string full = path_ + "/" + name;
    std::filesystem::create_directories(full);
    return full;
}

std::string sendCommand(std::uint16_t port, const std::string& request) {
    const int fd = connectLoopback(port);
    if (fd < 0) return "<no connection>";
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string reply;
    char buffer[4096];
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (true) {
        pollfd waiting{fd, POLLIN, 0};
        if (::poll(&waiting, 1, remainingMs(deadline)) <= 0) {
            reply += "<time-out>";
            break;
        }
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        reply.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return reply;
}

StreamClient::StreamClient(std::uint16_t port, const std::string& request) : fd_(connectLoopback(port)) {
    if (fd_ >= 0) ::send(fd_, request.data(), request.size(), MSG_NOSIGNAL);
}

StreamClient::~StreamClient() { close(); }

void StreamClient::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

std::string StreamClient::firstRead(int timeoutMs) {
    pollfd waiting{fd_, POLLIN, 0};
    if (fd_ < 0 || ::poll(&waiting, 1, timeoutMs) <= 0) return std::string();
    char buffer[kFirstReadBytes];
    const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
    if (got <= 0) {
        closedByServer_ = true;
        return std::string();
    }
    return std::string(buffer, static_cast<std::size_t>(got));
}

std::size_t StreamClient::read(std::size_t count, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::size_t got = 0;
    char buffer[65536];
    while (got < count && !closedByServer_ && fd_ >= 0) {
        pollfd waiting{fd_, POLLIN, 0};
        if (::poll(&waiting, 1, remainingMs(deadline)) <= 0) break;
        const ssize_t n = ::recv(fd_, buffer, std::min(sizeof buffer, count - got), 0);
        if (n <= 0) {
            closedByServer_ = true;
            break;
        }
        data_.append(buffer, static_cast<std::size_t>(n));
        got += static_cast<std::size_t>(n);
    }
    return got;
}

bool StreamClient::readToEnd(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!closedByServer_ && remainingMs(deadline) > 0) read(1 << 20, remainingMs(deadline));
    return closedByServer_;
}

RunningServer::RunningServer(Options options) : app_(std::move(options)) {
    std::string error;
    started_ = app_.start(error);
    if (!started_) throw std::runtime_error("server did not start: " + error);
}

Options RunningServer::loopback(const std::string& root) {
    Options options;
    options.roots = {root};
    options.bind = "127.0.0.1";
    options.port = 0;
    options.streamPort = 0;
    options.waitForPlayMs = 1000;
    return options;
}

bool TsScan::hasStreamId(int id) const {
    for (const auto& entry : streamIdsByPid) {
        if (entry.second.count(id) != 0) return true;
    }
    return false;
}

TsScan TsScan::of(const std::string& bytes) {
    TsScan scan;
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    // Resynchronise where three sync bytes line up, so a 0x47 inside a payload cut by the
    // box's first read does not count as a packet start.
    std::size_t start = 0;
    while (start + 2 * kTsPacket < bytes.size() &&
           !(data[start] == kSync && data[start + kTsPacket] == kSync && data[start + 2 * kTsPacket] == kSync)) {
        ++start;
    }
    scan.aligned = start + 2 * kTsPacket < bytes.size();
    for (std::size_t at = start; at + kTsPacket <= bytes.size(); at += kTsPacket) {
        const std::uint8_t* packet = data + at;
        if (packet[0] != kSync) {
            scan.aligned = false;
            break;
        }
        ++scan.packets;
        const int pid = ((packet[1] & 0x1F) << 8) | packet[2];
        if ((packet[1] & 0x40) == 0) continue;
        std::size_t offset = 4;
        if ((packet[3] & 0x20) != 0) offset += 1 + packet[4];
        if (offset + 4 > kTsPacket) continue;
        if (packet[offset] == 0 && packet[offset + 1] == 0 && packet[offset + 2] == 1) {
            scan.streamIdsByPid[pid].insert(packet[offset + 3]);
        }
    }
    return scan;
}

std::vector<pid_t> childProcesses(pid_t parent) {
    std::vector<pid_t> children;
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) return children;
    while (const dirent* entry = ::readdir(proc)) {
        const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
        if (pid <= 0) continue;
        std::ifstream stat("/proc/" + std::string(entry->d_name) + "/stat");
        std::string line;
        std::getline(stat, line);
        const std::size_t close = line.rfind(')');
        if (close == std::string::npos) continue;
        char state = 0;
        int parentPid = 0;
        if (std::sscanf(line.c_str() + close + 1, " %c %d", &state, &parentPid) == 2 && parentPid == parent) {
            children.push_back(pid);
        }
    }
    ::closedir(proc);
    return children;
}

char processState(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return 0;
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos || close + 2 >= line.size()) return 0;
    return line[close + 2];
}

std::size_t waitForNoChildren(pid_t parent, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        const std::size_t count = childProcesses(parent).size();
        if (count == 0 || remainingMs(deadline) == 0) return count;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::string elementText(const std::string& document, const std::string& name) {
    const std::string open = "<" + name + ">";
    const std::size_t start = document.find(open);
    if (start == std::string::npos) return "<missing>";
    const std::size_t end = document.find("</" + name + ">", start);
    return document.substr(start + open.size(), end - start - open.size());
}

}  // namespace oxle::server::test
