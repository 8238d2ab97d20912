#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <regex>

#include "server/ChildProcess.h"
#include "tests/server/TestSupport.h"

namespace oxle::server {
namespace {

using test::TestMedia;

// Reads the server's standard error until a line matches, or the time runs out.
bool waitForLine(int fd, const std::regex& pattern, std::smatch& match, std::string& seen, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    char buffer[4096];
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd waiting{fd, POLLIN, 0};
        if (::poll(&waiting, 1, 100) <= 0) continue;
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0) return false;
        seen.append(buffer, static_cast<std::size_t>(got));
        if (std::regex_search(seen, match, pattern)) return true;
    }
    return false;
}

TEST(ServerProcessTest, AnnouncesItsPortsAndKillsItsTranscoderOnSigterm) {
    test::TempDir scratch;
    const std::string readyFile = scratch.path() + "/ready";
    ChildProcess server;
    std::string error;
    ASSERT_TRUE(
        server.start(ChildProcess::captured({OXLE_X86_PATH, "--root", TestMedia::get().dir, "--bind", "127.0.0.1",
                                             "--port", "0", "--stream-port", "0", "--ready-file", readyFile}),
                     error))
        << error;

    std::smatch match;
    std::string log;
    ASSERT_TRUE(
        waitForLine(server.stderrFd(), std::regex(R"(listening command=(\d+) stream=(\d+))"), match, log, 10000))
        << log;
    const auto commandPort = static_cast<std::uint16_t>(std::stoi(match[1]));
    const auto streamPort = static_cast<std::uint16_t>(std::stoi(match[2]));
    std::ifstream ready(readyFile);
    int readyCommand = 0;
    int readyStream = 0;
    ready >> readyCommand >> readyStream;
    EXPECT_EQ(readyCommand, commandPort);
    EXPECT_EQ(readyStream, streamPort);
    EXPECT_EQ(test::sendCommand(commandPort, "RQS|SPO|NO"), std::to_string(streamPort));

    ASSERT_EQ(test::sendCommand(commandPort, "VLC|PLY|" + TestMedia::get().longMp4 + "|0|1"), "+ok");
    test::StreamClient client(streamPort);
    ASSERT_EQ(client.firstRead().rfind("HTTP/1.0 200 OK", 0), 0u);
    ASSERT_GT(client.read(64 * 1024), 0u);
    const auto transcoders = test::childProcesses(server.pid());
    ASSERT_EQ(transcoders.size(), 1u);

    ASSERT_EQ(::kill(server.pid(), SIGTERM), 0);
    int status = 0;
    ASSERT_TRUE(server.waitFor(10000, status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ChildProcess::describeStatus(status);
    EXPECT_EQ(test::processState(transcoders[0]), 0) << "the transcoder went with the server";
    EXPECT_TRUE(client.readToEnd(3000));
}

TEST(ServerProcessTest, HelpAndBadCommandLines) {
    ChildProcess help;
    std::string error;
    ASSERT_TRUE(help.start(ChildProcess::Spec({OXLE_X86_PATH, "--help"}), error));
    int status = 0;
    ASSERT_TRUE(help.waitFor(5000, status));
    EXPECT_EQ(status, 0);

    ChildProcess bad;
    ASSERT_TRUE(bad.start(ChildProcess::Spec({OXLE_X86_PATH, "--port", "12"}), error));
    ASSERT_TRUE(bad.waitFor(5000, status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2);
}

}  // namespace
}  // namespace oxle::server
