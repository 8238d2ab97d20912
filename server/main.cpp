#include <signal.h>

#include <cstdio>
#include <string>

#include "server/Log.h"
#include "server/Options.h"
#include "server/ServerApp.h"
#include "server/ServerCheck.h"

namespace {

// The system user the package makes and the service runs as.
constexpr const char* kServiceUser = "oxle";

}  // namespace

int main(int argc, char** argv) {
    using namespace oxle::server;
    Options options;
    std::string message;
    const int exitCode = CommandLine::parse(argc, argv, options, message);
    if (exitCode >= 0) {
        std::fprintf(exitCode == 0 ? stdout : stderr, "%s\n", message.c_str());
        return exitCode;
    }
    if (options.check) return ServerCheck::print(ServerCheck(options, kServiceUser).run(), stdout);

    // Every thread inherits this mask; the main thread alone takes the signals below.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    ServerApp app(options);
    if (!app.start(message)) {
        Log::info("cannot start: " + message);
        return 1;
    }
    int received = 0;
    sigwait(&stopSignals, &received);
    Log::info("signal " + std::to_string(received) + ": stopping");
    app.stop();
    return 0;
}
