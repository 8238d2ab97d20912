#include "server/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

extern char** environ;

namespace oxle::server {

namespace {

constexpr int kWaitPollMs = 5;
constexpr mode_t kCreatedFileMode = 0644;
constexpr const char* kNullDevice = "/dev/null";

std::string nameOf(const std::string& assignment) { return assignment.substr(0, assignment.find('=')); }

// What this process has, with the launch's assignments replacing or adding to it.
std::vector<std::string> environmentFor(const std::vector<std::string>& assignments) {
    std::vector<std::string> result;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const std::string current = *entry;
        bool replaced = false;
        for (const std::string& assignment : assignments) replaced = replaced || nameOf(assignment) == nameOf(current);
        if (!replaced) result.push_back(current);
    }
    result.insert(result.end(), assignments.begin(), assignments.end());
    return result;
}

std::vector<char*> pointersTo(const std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    pointers.reserve(strings.size() + 1);
    for (const std::string& text : strings) pointers.push_back(const_cast<char*>(text.c_str()));
    pointers.push_back(nullptr);
    return pointers;
}

constexpr int kStandardStreams = 3;  // input, output, error

// The parent's ends of the pipes and the files opened for the child, until the spawn.
struct Plumbing {
    UniqueFd childEnd[kStandardStreams];   // dup'ed onto 0, 1, 2 in the child; closed here after the spawn
    UniqueFd parentEnd[kStandardStreams];  // kept by the ChildProcess
};

bool route(int target, const ChildProcess::Stream& stream, Plumbing& plumbing, posix_spawn_file_actions_t& actions,
           std::string& error) {
    const bool input = target == STDIN_FILENO;
    switch (stream.kind) {
        case ChildProcess::Stream::Kind::Inherit: return true;
        case ChildProcess::Stream::Kind::Null:
            posix_spawn_file_actions_addopen(&actions, target, kNullDevice, input ? O_RDONLY : O_WRONLY, 0);
            return true;
        case ChildProcess::Stream::Kind::Pipe: {
            int ends[2] = {-1, -1};
            if (::pipe2(ends, O_CLOEXEC) != 0) {
                error = std::string("pipe: ") + std::strerror(errno);
                return false;
            }
            plumbing.childEnd[target].reset(input ? ends[0] : ends[1]);
            plumbing.parentEnd[target].reset(input ? ends[1] : ends[0]);
            break;
        }
        case ChildProcess::Stream::Kind::File: {
            // Opened here, not in the child, so that a failure names the file.
            const int flags = input ? O_RDONLY : O_WRONLY | O_CREAT | (stream.append ? O_APPEND : O_TRUNC);
            plumbing.childEnd[target].reset(::open(stream.path.c_str(), flags | O_CLOEXEC, kCreatedFileMode));
            if (!plumbing.childEnd[target]) {
                error = stream.path + ": " + std::strerror(errno);
                return false;
            }
            break;
        }
    }
    // dup2 clears close-on-exec on the copy, so only the child's 0, 1 and 2 stay open.
    posix_spawn_file_actions_adddup2(&actions, plumbing.childEnd[target].get(), target);
    return true;
}

}  // namespace

ChildProcess::Launch ChildProcess::captured(std::vector<std::string> argv) {
    Launch launch(std::move(argv));
    launch.output = Stream::pipe();
    launch.errors = Stream::pipe();
    return launch;
}

ChildProcess::~ChildProcess() { terminate(); }

pid_t ChildProcess::pid() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return pid_;
}

UniqueFd ChildProcess::takeStdin() { return std::move(in_); }

bool ChildProcess::start(const Launch& launch, std::string& error) {
    if (launch.argv.empty() || launch.argv[0].empty()) {
        error = "empty command";
        return false;
    }
    if (pid() > 0) {
        error = "already started";
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    Plumbing plumbing;
    const bool planned = route(STDIN_FILENO, launch.input, plumbing, actions, error) &&
                         route(STDOUT_FILENO, launch.output, plumbing, actions, error) &&
                         route(STDERR_FILENO, launch.errors, plumbing, actions, error);
    if (!planned) {
        posix_spawn_file_actions_destroy(&actions);
        return false;
    }

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t noSignals;
    sigemptyset(&noSignals);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    posix_spawnattr_setsigmask(&attributes, &noSignals);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> args = pointersTo(launch.argv);
    const std::vector<std::string> environment = environmentFor(launch.environment);
    std::vector<char*> envp = pointersTo(environment);
    pid_t child = -1;
    const bool searchPath = launch.argv[0].find('/') == std::string::npos;
    const int rc = searchPath ? ::posix_spawnp(&child, args[0], &actions, &attributes, args.data(), envp.data())
                              : ::posix_spawn(&child, args[0], &actions, &attributes, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (rc != 0) {
        error = launch.argv[0] + ": " + std::strerror(rc);
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    pid_ = child;
    reaped_ = false;
    in_ = std::move(plumbing.parentEnd[STDIN_FILENO]);
    out_ = std::move(plumbing.parentEnd[STDOUT_FILENO]);
    err_ = std::move(plumbing.parentEnd[STDERR_FILENO]);
    return true;
}

bool ChildProcess::signalProcess(int signal) {
    std::lock_guard<std::mutex> lock(mutex_);
    // Once reaped, the id may belong to someone else: never signal it again.
    if (pid_ <= 0 || reaped_) return false;
    return ::kill(pid_, signal) == 0;
}

bool ChildProcess::signalGroup(int signal) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (pid_ <= 0 || reaped_) return false;
    return ::kill(-pid_, signal) == 0;
}

bool ChildProcess::suspend() { return signalGroup(SIGSTOP); }

bool ChildProcess::resume() { return signalGroup(SIGCONT); }

void ChildProcess::terminate() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (pid_ <= 0 || reaped_) return;
    ::kill(-pid_, SIGKILL);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    status_ = status;
    reaped_ = true;
}

bool ChildProcess::exited() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (pid_ <= 0) return true;
    if (reaped_) return true;
    int status = 0;
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
        status_ = status;
        reaped_ = true;
        return true;
    }
    return false;
}

bool ChildProcess::waitFor(int timeoutMs, int& status) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!exited()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            terminate();
            status = waitStatus();
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kWaitPollMs));
    }
    status = waitStatus();
    return true;
}

int ChildProcess::waitStatus() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return status_;
}

std::string ChildProcess::describeStatus(int status) {
    if (WIFEXITED(status)) return "exit code " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return "signal " + std::to_string(WTERMSIG(status));
    return "status " + std::to_string(status);
}

}  // namespace oxle::server
