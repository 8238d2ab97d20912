#pragma once

#include <sys/types.h>

#include <mutex>
#include <string>
#include <vector>

namespace oxle::server {

// A helper program (ffmpeg, ffprobe, the shutdown command) started from an argument
// vector, never through a shell, in a process group of its own so that stop, continue
// and kill reach everything it started. The destructor kills and reaps it, so no path
// can leave one behind.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Standard input is /dev/null; standard output and error go to pipes the caller reads
    // when `captureOutput`, else to /dev/null.
    bool start(const std::vector<std::string>& argv, bool captureOutput, std::string& error);

    pid_t pid() const;
    int stdoutFd() const { return out_; }
    int stderrFd() const { return err_; }

    bool suspend();
    bool resume();
    // Kills the whole group and reaps the child; harmless when it has already ended.
    void terminate();
    // Reaps the child when it has ended; never blocks.
    bool exited();
    // Waits up to timeoutMs for the end, then kills. `status` is the wait status.
    bool waitFor(int timeoutMs, int& status);
    // Wait status of a reaped child, as text: "exit code 1", "signal 9".
    int waitStatus() const;
    static std::string describeStatus(int status);

private:
    bool signalGroup(int signal);

    // Guards pid_, reaped_ and status_: the stream thread, the command threads and the
    // monitor all act on the same child.
    mutable std::mutex mutex_;
    pid_t pid_ = -1;
    bool reaped_ = false;
    int status_ = 0;
    // Set once in start(), closed in the destructor only, so readers never see a reused fd.
    int out_ = -1;
    int err_ = -1;
};

}  // namespace oxle::server
