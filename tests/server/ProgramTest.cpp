// The server's command line and the programs it runs.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TempDir.h"
#include "server/ChildProcess.h"
#include "server/Options.h"
#include "tests/server/ServerHarness.h"

namespace oxle::server {
namespace {

int parse(std::vector<std::string> args, Options& options, std::string& message) {
    args.insert(args.begin(), "oxle_x86");
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    return CommandLine::parse(static_cast<int>(argv.size()), argv.data(), options, message);
}

TEST(ProgramTest, CommandLine) {
    TempDir a;
    const std::string root = a.path();
    struct Case {
        std::vector<std::string> args;
        int exit;  // -1: go on
        int streamPort;
        const char* ffprobe;
    };
    const Case cases[] = {
        {{"--root", root}, -1, 12051, "ffprobe"},
        {{"--root", root, "--port", "0"}, -1, 0, "ffprobe"},
        {{"--root", root, "--port", "4000", "--ffmpeg", "/opt/ff/ffmpeg"}, -1, 4001, "/opt/ff/ffprobe"},
        {{"--root", root, "--port", "0", "--stream-port", "9000", "--ffprobe", "/x/probe"}, -1, 9000, "/x/probe"},
        {{"--help"}, 0, 0, ""},
        {{}, 2, 0, ""},
        {{"--root", "/nonexistent/oxle"}, 2, 0, ""},
        {{"--root", root, "--port", "65536"}, 2, 0, ""},
        {{"--root", root, "--port", "abc"}, 2, 0, ""},
        {{"--root", root, "--unknown"}, 2, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.empty() ? "no arguments" : c.args.back());
        Options options;
        std::string message;
        ASSERT_EQ(parse(c.args, options, message), c.exit) << message;
        EXPECT_EQ(message.empty(), c.exit < 0);
        if (c.exit >= 0) continue;
        EXPECT_EQ(options.effectiveStreamPort(), c.streamPort);
        EXPECT_EQ(options.effectiveFfprobe(), c.ffprobe);
    }

    Options options;
    std::string message;
    ASSERT_EQ(parse({"--root", root, "--root", "/tmp", "--media-dir", root, "--cd-drive", "D:", "--password", "pw",
                     "--shutdown-command", "systemctl poweroff"},
                    options, message),
              -1)
        << message;
    EXPECT_EQ(options.roots, (std::vector<std::string>{root, "/tmp"}));
    EXPECT_EQ(options.mediaDir + options.cdDrive + options.password, root + "D:pw");
    EXPECT_EQ(options.shutdownCommand, "systemctl poweroff");
}

// Pause and kill reach a transcoder's whole group; one nobody waits for is killed.
TEST(ProgramTest, ChildProcessesAreNeverLeftBehind) {
    std::string error;
    {
        ChildProcess child;
        ASSERT_TRUE(child.start(ChildProcess::Spec({"sleep", "30"}), error)) << error;
        EXPECT_EQ(::getpgid(child.pid()), child.pid());
        int status = 0;
        EXPECT_FALSE(child.waitFor(50, status)) << "waiting too long kills";
        EXPECT_TRUE(WIFSIGNALED(status));
        EXPECT_FALSE(child.suspend()) << "a reaped child is never signalled";
        ChildProcess forgotten;
        ASSERT_TRUE(forgotten.start(ChildProcess::captured({"sleep", "30"}), error)) << error;
    }
    EXPECT_EQ(test::childrenOf(::getpid()).size(), 0u) << "the destructor kills and reaps";
}

}  // namespace
}  // namespace oxle::server
