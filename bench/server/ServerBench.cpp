// Start latency and listing time of oxle_x86, measured on loopback; a DVD chapter's start
// beside a remuxed file's.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "FdIo.h"
#include "MediaMaker.h"
#include "UniqueFd.h"
#include "server/ChildProcess.h"
#include "server/DirectoryScanner.h"
#include "server/FfmpegCommand.h"
#include "server/Listing.h"
#include "server/PathGuard.h"
#include "server/Probe.h"
#include "server/ServerApp.h"

using namespace oxle::server;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kDefaultRuns = 7;
constexpr int kListingRuns = 10;
constexpr int kBigListingRuns = 5;  // for the largest folder, whose cold listing takes long
constexpr int kFolderSizes[] = {1000, 10000, 100000};
// A folder changed this long ago may be kept by the server's listing cache; the bench sets
// each folder's time back by this much after changing it, as a folder in use would be.
constexpr int kSettledSeconds = 60;
constexpr int kTimeoutMs = 20000;
constexpr int kGenerateTimeoutMs = 120000;
constexpr double kMsPerSecond = 1e3;
constexpr double kNsPerMs = 1e6;
constexpr std::size_t kReadChunk = 64 * 1024;
// One folder among this many entries, the rest files.
constexpr int kFolderEvery = 20;
constexpr const char* kHeaderEnd = "\r\n\r\n";
constexpr const char* kStreamRequest = "GET /dboxstream HTTP/1.0\r\n\r\n";
// The DVD: chapters long enough that chapter 2 starts well inside the title, at the
// video rate of the remuxed recording.
constexpr int kDiscChapterSeconds = 20;
constexpr int kDiscKbps = 5000;
constexpr int kDiscChapter = 2;
constexpr std::size_t kTsPacket = 188;
constexpr unsigned char kTsSync = 0x47;
constexpr unsigned char kPayloadStart = 0x40;
constexpr int kAdaptationOnly = 2;
constexpr int kAdaptationAndPayload = 3;
constexpr std::size_t kTsHeader = 4;
constexpr unsigned char kFirstVideoId = 0xe0;
constexpr unsigned char kLastVideoId = 0xef;

double millisSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double threadCpuMs() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * kMsPerSecond + static_cast<double>(now.tv_nsec) / kNsPerMs;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

double minimum(const std::vector<double>& values) {
    return values.empty() ? 0.0 : *std::min_element(values.begin(), values.end());
}

// The one-minute load average, beside every row: the machine is shared.
std::string loadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one;
    in >> one;
    return one.empty() ? std::string("?") : one;
}

UniqueFd connectLoopback(std::uint16_t port) {
    UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (!socket || ::connect(socket.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        return UniqueFd();
    }
    return socket;
}

// Reads until `done` says so, the peer closes, or the time-out passes.
template <typename Done>
bool readUntil(int fd, std::string& data, Done done) {
    char buffer[kReadChunk];
    const auto deadline = Clock::now() + std::chrono::milliseconds(kTimeoutMs);
    while (!done(data)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd waiting{fd, POLLIN, 0};
        if (left <= 0 || ::poll(&waiting, 1, static_cast<int>(left)) <= 0) return false;
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0) return done(data);
        data.append(buffer, static_cast<std::size_t>(got));
    }
    return true;
}

std::string command(std::uint16_t port, const std::string& request) {
    const UniqueFd socket = connectLoopback(port);
    if (!socket || !fdio::writeAll(socket.get(), request)) return std::string();
    std::string reply;
    readUntil(socket.get(), reply, [](const std::string&) { return false; });
    return reply;
}

// "PLY", then "GET /dboxstream", until the first byte after the HTTP head.
double serverFirstByteMs(const ServerApp& app, const std::string& file) {
    const auto start = Clock::now();
    if (command(app.commandPort(), "VLC|PLY|" + file + "|0|1") != "+ok") return -1;
    UniqueFd socket = connectLoopback(app.streamPort());
    std::string data;
    const bool got = socket && fdio::writeAll(socket.get(), kStreamRequest) &&
                     readUntil(socket.get(), data, [](const std::string& d) {
                         const std::size_t end = d.find(kHeaderEnd);
                         return end != std::string::npos && d.size() > end + std::strlen(kHeaderEnd);
                     });
    const double elapsed = millisSince(start);
    socket.reset();
    command(app.commandPort(), "VLC|STP|NO");
    return got ? elapsed : -1;
}

// A transport-stream packet that begins a video PES packet: the first picture's bytes.
bool startsVideo(const unsigned char* packet) {
    if (packet[0] != kTsSync || (packet[1] & kPayloadStart) == 0) return false;
    const int adaptation = (packet[3] >> 4) & 3;
    if (adaptation == 0 || adaptation == kAdaptationOnly) return false;
    const std::size_t payload = adaptation == kAdaptationAndPayload ? kTsHeader + 1 + packet[kTsHeader] : kTsHeader;
    return payload + 4 <= kTsPacket && packet[payload] == 0 && packet[payload + 1] == 0 && packet[payload + 2] == 1 &&
           packet[payload + 3] >= kFirstVideoId && packet[payload + 3] <= kLastVideoId;
}

struct StartTimes {
    double firstByte = -1;
    double firstPicture = -1;
};

// "PLY", then "GET /dboxstream", until the first byte after the HTTP head and until the
// first video PES header; both -1 when either never came.
StartTimes serverStartMs(const ServerApp& app, const std::string& location) {
    StartTimes times;
    const auto start = Clock::now();
    if (command(app.commandPort(), "VLC|PLY|" + location + "|0|1") != "+ok") return times;
    UniqueFd socket = connectLoopback(app.streamPort());
    std::string data;
    std::size_t scanned = 0;  // body packets looked at
    const bool got = socket && fdio::writeAll(socket.get(), kStreamRequest) &&
                     readUntil(socket.get(), data, [&](const std::string& d) {
                         const std::size_t end = d.find(kHeaderEnd);
                         if (end == std::string::npos) return false;
                         const std::size_t body = end + std::strlen(kHeaderEnd);
                         if (d.size() > body && times.firstByte < 0) times.firstByte = millisSince(start);
                         for (; body + (scanned + 1) * kTsPacket <= d.size(); ++scanned) {
                             const auto* packet = reinterpret_cast<const unsigned char*>(d.data() + body);
                             if (startsVideo(packet + scanned * kTsPacket)) {
                                 times.firstPicture = millisSince(start);
                                 return true;
                             }
                         }
                         return false;
                     });
    socket.reset();
    command(app.commandPort(), "VLC|STP|NO");
    return got ? times : StartTimes();
}

void discStart(const ServerApp& app, const std::string& disc, const std::string& file, int runs) {
    std::vector<double> discByte, discPicture, fileByte, filePicture;
    for (int i = 0; i < runs; ++i) {
        // Interleaved, so both see the same machine state.
        const StartTimes d = serverStartMs(app, disc);
        const StartTimes f = serverStartMs(app, file);
        if (d.firstPicture < 0 || f.firstPicture < 0) {
            std::printf("DVD chapter %d: a start failed (%s)\n", kDiscChapter, d.firstPicture < 0 ? "disc" : "file");
            return;
        }
        discByte.push_back(d.firstByte);
        discPicture.push_back(d.firstPicture);
        fileByte.push_back(f.firstByte);
        filePicture.push_back(f.firstPicture);
    }
    const double db = median(discByte), dp = median(discPicture), fb = median(fileByte), fp = median(filePicture);
    std::printf(
        "DVD chapter %d (image, %d kbit/s)  PLY->first TS byte %7.1f ms, ->first picture %7.1f ms | "
        "remuxed MPEG-2 TS  PLY->first TS byte %7.1f ms, ->first picture %7.1f ms | ratios %.2f %.2f (median of %d)\n",
        kDiscChapter, kDiscKbps, db, dp, fb, fp, db / fb, dp / fp, runs);
}

// The same ffmpeg command, started directly, until its first byte reaches the pipe.
double plainFirstByteMs(const std::vector<std::string>& argv) {
    const auto start = Clock::now();
    ChildProcess ffmpeg;
    std::string error;
    if (!ffmpeg.start(ChildProcess::captured(argv), error)) return -1;
    pollfd waiting{ffmpeg.stdoutFd(), POLLIN, 0};
    char byte;
    const bool got = ::poll(&waiting, 1, kTimeoutMs) == 1 && ::read(ffmpeg.stdoutFd(), &byte, 1) == 1;
    const double elapsed = millisSince(start);
    ffmpeg.terminate();
    return got ? elapsed : -1;
}

bool generate(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error", "-y"};
    argv.insert(argv.end(), args.begin(), args.end());
    ChildProcess ffmpeg;
    std::string error;
    int status = 0;
    return ffmpeg.start(ChildProcess::Launch(argv), error) && ffmpeg.waitFor(kGenerateTimeoutMs, status) && status == 0;
}

void startLatency(const ServerApp& app, const std::string& file, const char* label, int runs) {
    Probe probe;
    MediaInfo info;
    std::string error;
    if (!probe.run(file, info, error)) {
        std::printf("%s: cannot probe: %s\n", label, error.c_str());
        return;
    }
    TranscodeRequest request;
    request.input = file;
    const auto argv = FfmpegCommand::build(request, info);
    std::vector<double> server;
    std::vector<double> plain;
    std::vector<double> probing;
    const std::string load = loadAverage();
    for (int i = 0; i < runs; ++i) {
        // Interleaved, so both see the same machine state.
        server.push_back(serverFirstByteMs(app, file));
        plain.push_back(plainFirstByteMs(argv));
        const auto start = Clock::now();
        probe.run(file, info, error);
        probing.push_back(millisSince(start));
    }
    const double s = median(server);
    const double p = median(plain);
    std::printf(
        "%-28s PLY->first TS byte %7.1f ms | plain ffmpeg->pipe %7.1f ms | ratio %.2f | ffprobe alone %6.1f ms"
        " (median of %d) | min %.1f / %.1f ms, ratio of minima %.2f | load %s\n",
        label, s, p, p > 0 ? s / p : 0.0, median(probing), runs, minimum(server), minimum(plain),
        minimum(plain) > 0 ? minimum(server) / minimum(plain) : 0.0, load.c_str());
}

// A folder of `entries` names, one folder among kFolderEvery, the rest small files.
bool makeFolder(const std::string& folder, int entries) {
    std::error_code failed;
    std::filesystem::create_directories(folder, failed);
    for (int i = 0; i < entries && !failed; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, i % kFolderEvery == 0 ? "/folder %06d" : "/episode %06d.mkv", i);
        if (i % kFolderEvery == 0) {
            std::filesystem::create_directory(folder + name, failed);
        } else {
            std::ofstream(folder + name) << "x";
        }
    }
    return !failed;
}

// Adds or removes one file, as a recording would, then sets the folder's time back.
void changeFolder(const std::string& folder, int turn) {
    const std::string added = folder + "/added.mkv";
    if (turn % 2 == 0) {
        std::ofstream(added) << "x";
    } else {
        std::remove(added.c_str());
    }
    timespec times[2] = {};
    ::clock_gettime(CLOCK_REALTIME, &times[0]);
    times[0].tv_sec -= kSettledSeconds + turn;
    times[1] = times[0];
    ::utimensat(AT_FDCWD, folder.c_str(), times, 0);
}

// The first listing after a change (the server's cache has nothing for it), the same
// listing again, and the document built in-process without any cache.
void listingTime(const ServerApp& app, const std::string& folder, int entries, const PathGuard& guard) {
    const int runs = entries >= kFolderSizes[2] ? kBigListingRuns : kListingRuns;
    std::vector<double> cold;
    std::vector<double> repeated;
    std::vector<double> inProcess;
    std::vector<double> inProcessCpu;
    std::size_t bytes = 0;
    DirectoryScanner scanner(guard);
    const std::string load = loadAverage();
    for (int i = 0; i < runs; ++i) {
        changeFolder(folder, i);
        auto start = Clock::now();
        bytes = command(app.commandPort(), "VLC|GFL|" + folder).size();
        cold.push_back(millisSince(start));
        start = Clock::now();
        command(app.commandPort(), "VLC|GFL|" + folder);
        repeated.push_back(millisSince(start));
        start = Clock::now();
        const double cpuStart = threadCpuMs();
        std::vector<ListEntry> listed;
        std::string why;
        scanner.listEntries(folder, listed, why);
        const std::string document = Listing::document(listed);
        inProcess.push_back(millisSince(start));
        inProcessCpu.push_back(threadCpuMs() - cpuStart);
    }
    std::printf(
        "listing of %d entries         over the command port %6.1f ms | built in-process %6.1f ms"
        " (%.1f ms CPU) | %zu bytes (median of %d) | cold min %.1f median %.1f ms, repeated min %.1f median %.1f ms"
        " | load %s\n",
        entries, median(cold), median(inProcess), median(inProcessCpu), bytes, runs, minimum(cold), median(cold),
        minimum(repeated), median(repeated), load.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultRuns;
    // "start" or "listing" measures that part alone.
    const std::string only = argc > 2 ? argv[2] : "";
    const bool starts = only != "listing";
    const bool listings = only != "start";
    char pattern[] = "/tmp/oxle-server-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return 1;
    const std::string dir = pattern;
    const std::string mp4 = dir + "/film.mp4";
    const std::string ts = dir + "/recording.ts";
    const std::string folder = dir + "/big";
    std::printf("making media in %s ...\n", dir.c_str());
    if (!generate({"-f",      "lavfi",    "-i",        "testsrc2=size=1280x720:rate=25",
                   "-f",      "lavfi",    "-i",        "sine=frequency=440:sample_rate=48000",
                   "-t",      "30",       "-c:v",      "libx264",
                   "-preset", "veryfast", "-pix_fmt",  "yuv420p",
                   "-c:a",    "aac",      "-shortest", mp4}) ||
        !generate({"-f",        "lavfi", "-i",     "testsrc2=size=720x576:rate=25",
                   "-f",        "lavfi", "-i",     "sine=frequency=440:sample_rate=48000",
                   "-t",        "30",    "-c:v",   "mpeg2video",
                   "-b:v",      "5M",    "-c:a",   "mp2",
                   "-shortest", "-f",    "mpegts", ts})) {
        std::printf("ffmpeg could not make the media\n");
        return 1;
    }
    MediaMaker::Disc disc;
    disc.seconds = kDiscChapterSeconds;
    disc.kbps = kDiscKbps;
    const std::string image = dir + "/dvd.iso";
    std::string error;
    if (!MediaMaker::placeDisc(disc, image, error)) {
        std::printf("the DVD could not be made: %s\n", error.c_str());
        return 1;
    }
    for (const int entries : kFolderSizes) {
        if (listings && !makeFolder(folder + std::to_string(entries), entries)) {
            std::printf("the folder of %d entries could not be made\n", entries);
            return 1;
        }
    }

    Options options;
    options.roots = {dir};
    options.bind = "127.0.0.1";
    options.port = 0;
    options.streamPort = 0;
    options.cdDrive = image;
    ServerApp app(options);
    if (!app.start(error)) {
        std::printf("server did not start: %s\n", error.c_str());
        return 1;
    }
    PathGuard guard;
    PathGuard::create({dir}, guard, error);

    if (starts) {
        startLatency(app, mp4, "H.264/AAC 720p MP4 (transcode)", runs);
        startLatency(app, ts, "MPEG-2/MP2 TS (remux)", runs);
        char chapter[sizeof "@1:00-"];
        std::snprintf(chapter, sizeof chapter, "@1:%02d-", kDiscChapter);
        discStart(app, "dvdsimple://" + image + chapter, ts, runs);
    }
    if (listings) {
        for (const int entries : kFolderSizes) listingTime(app, folder + std::to_string(entries), entries, guard);
    }

    app.stop();
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return 0;
}
