#pragma once

// What only the server's tests need on top of the kit.
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "MediaMaker.h"
#include "TempDir.h"
#include "UniqueFd.h"
#include "WaitUntil.h"
#include "server/HttpRequest.h"
#include "server/Options.h"
#include "server/ServerApp.h"

namespace oxle::server::test {

inline const MediaMaker::Clip kClipMp4{MediaMaker::Kind::H264AacMp4, 3, 640, 360};  // transcoded
inline const MediaMaker::Clip kClipTs{MediaMaker::Kind::Mpeg2Mp2Ts, 3};             // remuxed
inline const MediaMaker::Clip kSongMp3{MediaMaker::Kind::Mp3, 3};
inline const MediaMaker::Clip kLongMp4{MediaMaker::Kind::H264AacMp4, 150, 160, 120};  // to pause, seek and skip in
inline const MediaMaker::Clip kLongMp3{MediaMaker::Kind::Mp3, 150};

// CommandLine::parse of oxle_x86 with `args`.
int parse(std::vector<std::string> args, Options& options, std::string& message, const std::string& defaultConfig = "");

// The clip as `name` in `dir` (a hard link to the shared cache); its path.
std::string place(const TempDir& dir, const std::string& name, const MediaMaker::Clip& clip);

// A connection from loopback `source` to 127.0.0.1:port that sends `request` and reads.
class StreamClient {
public:
    explicit StreamClient(std::uint16_t port, const std::string& request = "GET /dboxstream HTTP/1.0\r\n\r\n",
                          const char* source = "127.0.0.1", int receiveBuffer = 0);
    // Whether the answer starts with the stream's header, or with a 404; reads as far as that.
    bool streaming() { return answered(HttpRequest::kStreamHeader); }
    bool notFound() { return answered("HTTP/1.0 404 "); }
    // Reads until `count` more bytes came, the server closed or the time ran out; how many came.
    std::size_t read(std::size_t count, int timeoutMs = 10000);
    // Reads until the server closes; false when the time ran out first.
    bool readToEnd(int timeoutMs = 20000);
    const std::string& data() const { return data_; }
    int fd() const { return fd_.get(); }

private:
    bool answered(const std::string& status);

    UniqueFd fd_;
    std::string data_;
    bool closed_ = false;
};

// One command exchange as the box makes it: connect, send, read until the server closes.
std::string sendCommand(std::uint16_t port, const std::string& request);

// The whole server in this process, on 127.0.0.1 and ports the kernel picks.
class RunningServer {
public:
    explicit RunningServer(Options options);
    // Sharing `root`, with a short wait for a stream request that comes before its play.
    static Options loopback(const std::string& root);

    std::string command(const std::string& request) const { return sendCommand(app_.commandPort(), request); }
    // A number of the play status ("time", "length", "position"), or the codec it names.
    int status(const std::string& element) const;
    std::string codec() const;
    std::uint16_t commandPort() const { return app_.commandPort(); }
    std::uint16_t streamPort() const { return app_.streamPort(); }

private:
    ServerApp app_;
};

// Children of `parent`, in any state; the state letter of a process ('T': stopped), 0 when gone.
std::vector<pid_t> childrenOf(pid_t parent);
// The ffmpeg children of `parent`: ffprobe runs beside the first one for a while.
std::vector<pid_t> transcodersOf(pid_t parent);
char processState(pid_t pid);
// Waits up to 5 s until this process has no children; whether it got there.
bool noChildrenLeft();

}  // namespace oxle::server::test
