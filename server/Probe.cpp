#include "server/Probe.h"

#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "server/ChildProcess.h"

namespace oxle::server {

namespace {

constexpr int kProbeTimeoutMs = 15000;
constexpr std::size_t kReadChunk = 16384;
// ffprobe's JSON of even a many-stream file is a few tens of KiB; more means trouble.
constexpr std::size_t kMaxOutputBytes = 4 * 1024 * 1024;
constexpr std::size_t kMaxErrorBytes = 4096;

// What the probe waits on, in poll order.
enum Watched { kOutput, kErrors, kCancel, kWatchedCount };

using Json = nlohmann::json;

// ffprobe writes most numbers as strings ("duration": "5.000000"); accept both forms.
double number(const Json& object, const char* key) {
    const auto it = object.find(key);
    if (it == object.end()) return 0.0;
    if (it->is_number()) return it->get<double>();
    if (it->is_string()) return std::strtod(it->get<std::string>().c_str(), nullptr);
    return 0.0;
}

std::string text(const Json& object, const char* key) {
    const auto it = object.find(key);
    if (it == object.end() || !it->is_string()) return std::string();
    return it->get<std::string>();
}

std::string firstLine(const std::string& message) {
    std::string line = message.substr(0, message.find('\n'));
    return line.empty() ? std::string("no output") : line;
}

}  // namespace

bool Probe::parseJson(const std::string& json, MediaInfo& info, std::string& error) {
    Json root = Json::parse(json, nullptr, false);
    if (root.is_discarded() || !root.is_object()) {
        error = "ffprobe output is not JSON";
        return false;
    }
    MediaInfo parsed;
    const auto format = root.find("format");
    if (format != root.end() && format->is_object()) {
        parsed.container = text(*format, "format_name");
        parsed.durationSeconds = number(*format, "duration");
        parsed.sizeBytes = static_cast<std::uint64_t>(number(*format, "size"));
    }
    const auto streams = root.find("streams");
    if (streams != root.end() && streams->is_array()) {
        for (const Json& stream : *streams) {
            if (!stream.is_object()) continue;
            StreamInfo s;
            s.kind = text(stream, "codec_type");
            s.codec = text(stream, "codec_name");
            s.width = static_cast<int>(number(stream, "width"));
            s.height = static_cast<int>(number(stream, "height"));
            s.channels = static_cast<int>(number(stream, "channels"));
            s.sampleRate = static_cast<int>(number(stream, "sample_rate"));
            const auto tags = stream.find("tags");
            if (tags != stream.end() && tags->is_object()) s.language = text(*tags, "language");
            const auto disposition = stream.find("disposition");
            if (disposition != stream.end() && disposition->is_object()) {
                s.attachedPicture = number(*disposition, "attached_pic") != 0.0;
            }
            parsed.streams.push_back(s);
        }
    }
    if (parsed.streams.empty()) {
        error = "no streams found";
        return false;
    }
    info = parsed;
    return true;
}

bool Probe::run(const std::string& path, MediaInfo& info, std::string& error, int cancelFd, int niceness) const {
    // ffprobe would wait on a FIFO for a writer, or read a device without end, until
    // its time-out; neither is media.
    struct stat file {};
    if (::stat(path.c_str(), &file) != 0 || !S_ISREG(file.st_mode)) {
        error = "not a regular file";
        return false;
    }
    ChildProcess child;
    const std::vector<std::string> argv = {ffprobe_,        "-v", "error", "-print_format", "json", "-show_format",
                                           "-show_streams", "-i", path};
    if (!child.start(ChildProcess::captured(argv), error)) return false;
    if (niceness > 0) ::setpriority(PRIO_PROCESS, static_cast<id_t>(child.pid()), niceness);

    std::string output;
    std::string errors;
    bool outOpen = true;
    bool errOpen = true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kProbeTimeoutMs);
    char buffer[kReadChunk];
    while (outOpen || errOpen) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0 || output.size() > kMaxOutputBytes) {
            child.terminate();
            error = "ffprobe took too long or said too much";
            return false;
        }
        pollfd fds[kWatchedCount] = {};
        fds[kOutput] = {outOpen ? child.stdoutFd() : -1, POLLIN, 0};
        fds[kErrors] = {errOpen ? child.stderrFd() : -1, POLLIN, 0};
        fds[kCancel] = {cancelFd, POLLIN, 0};
        if (::poll(fds, kWatchedCount, static_cast<int>(left)) < 0) continue;
        if (fds[kCancel].revents != 0) {
            child.terminate();
            error = "probe cancelled";
            return false;
        }
        if (fds[kOutput].revents != 0) {
            const ssize_t n = ::read(child.stdoutFd(), buffer, sizeof buffer);
            if (n > 0)
                output.append(buffer, static_cast<std::size_t>(n));
            else
                outOpen = false;
        }
        if (fds[kErrors].revents != 0) {
            const ssize_t n = ::read(child.stderrFd(), buffer, sizeof buffer);
            if (n > 0 && errors.size() < kMaxErrorBytes)
                errors.append(buffer, static_cast<std::size_t>(n));
            else if (n <= 0)
                errOpen = false;
        }
    }
    int status = 0;
    child.waitFor(kProbeTimeoutMs, status);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = "ffprobe: " + firstLine(errors);
        return false;
    }
    return parseJson(output, info, error);
}

}  // namespace oxle::server
