#pragma once

#include <sys/types.h>

#include <mutex>
#include <string>
#include <vector>

#include "UniqueFd.h"

namespace oxle::server {

// A program started from an argument vector, never through a shell, in a process group
// of its own so that stop, continue and kill reach everything it started. The destructor
// kills and reaps it, so no path can leave one behind.
//
//     ChildProcess ffprobe;
//     ChildProcess::Launch launch = ChildProcess::captured({"ffprobe", "-i", path});
//     if (!ffprobe.start(launch, error)) ...
//     read ffprobe.stdoutFd() until its end, then ffprobe.waitFor(timeoutMs, status);
class ChildProcess {
public:
    // Where one standard stream of the child goes.
    struct Stream {
        enum class Kind { Null, Inherit, Pipe, File };
        Kind kind = Kind::Null;
        std::string path;     // Kind::File: read for standard input, else created or truncated
        bool append = false;  // Kind::File output: appended to instead of truncated

        static Stream null() { return Stream{}; }
        static Stream inherit() { return Stream{Kind::Inherit, std::string(), false}; }
        static Stream pipe() { return Stream{Kind::Pipe, std::string(), false}; }
        static Stream file(std::string filePath, bool appendTo = false) {
            return Stream{Kind::File, std::move(filePath), appendTo};
        }
    };

    struct Launch {
        Launch() = default;
        explicit Launch(std::vector<std::string> command) : argv(std::move(command)) {}

        std::vector<std::string> argv;         // argv[0] without a '/' is looked up in PATH
        std::vector<std::string> environment;  // "NAME=VALUE", set over what this process has
        Stream input;                          // /dev/null unless said otherwise
        Stream output;
        Stream errors;
    };

    // Standard output and error to pipes, input from /dev/null: how ffmpeg and ffprobe run.
    static Launch captured(std::vector<std::string> argv);

    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Once per object; false with a diagnostic in `error` when nothing was started.
    bool start(const Launch& launch, std::string& error);

    pid_t pid() const;
    // This side of the pipes the launch asked for, else -1. Valid until the destructor, so
    // that a reader on another thread never sees a reused descriptor.
    int stdinFd() const { return in_.get(); }
    int stdoutFd() const { return out_.get(); }
    int stderrFd() const { return err_.get(); }
    // Hands the input pipe to whoever feeds the child; closing it is the child's end of input.
    UniqueFd takeStdin();

    // Signals the child alone or its whole group; false once it has been reaped.
    bool signalProcess(int signal);
    bool signalGroup(int signal);
    bool suspend();
    bool resume();
    // Kills the whole group and reaps the child; harmless when it has already ended.
    void terminate();
    // Reaps the child when it has ended; never blocks.
    bool exited();
    // Waits up to timeoutMs for the end, then kills. `status` is the wait status.
    bool waitFor(int timeoutMs, int& status);
    // Wait status of a reaped child.
    int waitStatus() const;
    // A wait status as text: "exit code 1", "signal 9".
    static std::string describeStatus(int status);

private:
    // Guards pid_, reaped_ and status_: a stream thread, the command threads and a
    // monitor may all act on the same child.
    mutable std::mutex mutex_;
    pid_t pid_ = -1;
    bool reaped_ = false;
    int status_ = 0;
    // Set once in start(); out_ and err_ close in the destructor only. in_ leaves through
    // takeStdin() on the thread that started the child, before anyone writes to it.
    UniqueFd in_;
    UniqueFd out_;
    UniqueFd err_;
};

}  // namespace oxle::server
