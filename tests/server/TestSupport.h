#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "server/Options.h"
#include "server/ServerApp.h"

namespace oxle::server::test {

// Small media made with ffmpeg's test sources, once per build directory.
struct TestMedia {
    std::string dir;      // holds every file below, nothing else
    std::string clipMp4;  // H.264/AAC, 640x360, 3 s
    std::string clipTs;   // MPEG-2/MP2, 720x576, 3 s
    std::string songMp3;  // MP3, 3 s
    std::string longMp4;  // H.264/AAC, 160x120, 150 s (for seeking, pausing, skipping)
    std::string longMp3;  // MP3, 150 s

    static const TestMedia& get();
};

// A scratch directory removed when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name, const std::string& content = std::string()) const;
    std::string subdir(const std::string& name) const;

private:
    std::string path_;
};

// One command exchange as the box makes it: connect, send, read until the server closes.
std::string sendCommand(std::uint16_t port, const std::string& request);

// The stream client side: connect, "GET /dboxstream", read.
class StreamClient {
public:
    explicit StreamClient(std::uint16_t port, const std::string& request = "GET /dboxstream HTTP/1.0\r\n\r\n");
    ~StreamClient();
    bool connected() const { return fd_ >= 0; }
    // The box's one first read of at most 511 bytes.
    std::string firstRead(int timeoutMs = 5000);
    // Reads until `count` more bytes arrived, the server closed, or the time ran out.
    std::size_t read(std::size_t count, int timeoutMs = 10000);
    // Reads (and keeps) everything until the server closes; false on time-out.
    bool readToEnd(int timeoutMs = 20000);
    const std::string& data() const { return data_; }
    void close();

private:
    int fd_ = -1;
    std::string data_;
    bool closedByServer_ = false;
};

// What a transport-stream reader finds after the box's first read (which it drops),
// resynchronising on the sync byte 0x47.
struct TsScan {
    bool aligned = false;  // every packet after the first sync starts with 0x47
    std::size_t packets = 0;
    std::map<int, std::set<int>> streamIdsByPid;  // PES stream ids seen at unit starts
    bool hasStreamId(int id) const;
    static TsScan of(const std::string& bytes);
};

// The whole server in this process, on loopback and free ports.
class RunningServer {
public:
    explicit RunningServer(Options options);
    // Options for a server sharing `root` on 127.0.0.1 with free ports and short waits.
    static Options loopback(const std::string& root);
    std::string command(const std::string& request) const { return sendCommand(app_.commandPort(), request); }
    std::uint16_t commandPort() const { return app_.commandPort(); }
    std::uint16_t streamPort() const { return app_.streamPort(); }
    bool started() const { return started_; }

private:
    ServerApp app_;
    bool started_ = false;
};

// Children of this process (any state), for "no transcoder left behind".
std::vector<pid_t> childProcesses(pid_t parent);
// 'R', 'S', 'T', ... from /proc; 0 when the process is gone.
char processState(pid_t pid);
// Waits up to timeoutMs until `parent` has no children left; returns how many remain.
std::size_t waitForNoChildren(pid_t parent, int timeoutMs);

// Extracts the text of <name>...</name> from a small document.
std::string elementText(const std::string& document, const std::string& name);

}  // namespace oxle::server::test
