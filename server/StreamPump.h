#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "server/ChildProcess.h"
#include "server/Session.h"

namespace oxle::server {

// Feeds a session's transcoder output to its stream client as an HTTP response: the
// head, then whole transport packets, across every transcoder a seek or skip puts in,
// and logs what the transcoder says. Lives on the stream connection's thread, which owns
// the client socket; the pump only writes to it.
class StreamPump {
public:
    StreamPump(std::shared_ptr<Session> session, int clientFd, std::string peer);

    // Runs until the session ends, the transcoder's output ends or the client goes away.
    // Returns why it stopped; empty when the session was ended by someone else.
    std::string run();
    std::uint64_t bytesSent() const { return bytes_; }

private:
    // Reads what `process` has on standard error; false at its end.
    bool readErrors(const ChildProcess& process);
    // Reads what `process` has on standard output and sends its whole packets; false
    // with `reason` set when the stream is over.
    bool forwardOutput(const std::shared_ptr<ChildProcess>& process, std::string& reason);
    void logErrors(bool flush);

    const std::shared_ptr<Session> session_;
    const int clientFd_;
    const std::string peer_;
    std::uint64_t bytes_ = 0;
    std::vector<char> buffer_;   // one read
    std::string partial_;        // bytes of a transport packet not yet complete
    std::string pendingErrors_;  // the transcoder's last line, not yet complete
};

}  // namespace oxle::server
