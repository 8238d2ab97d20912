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

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

ChildProcess::~ChildProcess() {
    terminate();
    closeFd(out_);
    closeFd(err_);
}

pid_t ChildProcess::pid() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return pid_;
}

bool ChildProcess::start(const std::vector<std::string>& argv, bool captureOutput, std::string& error) {
    if (argv.empty() || argv[0].empty()) {
        error = "empty command";
        return false;
    }
    int outPipe[2] = {-1, -1};
    int errPipe[2] = {-1, -1};
    if (captureOutput && (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0)) {
        error = std::string("pipe: ") + std::strerror(errno);
        closeFd(outPipe[0]);
        closeFd(outPipe[1]);
        closeFd(errPipe[0]);
        closeFd(errPipe[1]);
        return false;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (captureOutput) {
        posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
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

    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    pid_t child = -1;
    const bool searchPath = argv[0].find('/') == std::string::npos;
    const int rc = searchPath ? ::posix_spawnp(&child, args[0], &actions, &attributes, args.data(), environ)
                              : ::posix_spawn(&child, args[0], &actions, &attributes, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    closeFd(outPipe[1]);
    closeFd(errPipe[1]);
    if (rc != 0) {
        error = argv[0] + ": " + std::strerror(rc);
        closeFd(outPipe[0]);
        closeFd(errPipe[0]);
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    pid_ = child;
    reaped_ = false;
    out_ = outPipe[0];
    err_ = errPipe[0];
    return true;
}

bool ChildProcess::signalGroup(int signal) {
    std::lock_guard<std::mutex> lock(mutex_);
    // Once reaped, the id may belong to someone else: never signal it again.
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
