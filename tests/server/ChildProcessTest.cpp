#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "server/ChildProcess.h"
#include "tests/server/TestSupport.h"

namespace oxle::server {
namespace {

TEST(ChildProcessTest, RunsWithoutAShellAndCapturesOutput) {
    ChildProcess child;
    std::string error;
    ASSERT_TRUE(child.start(ChildProcess::captured({"echo", "a;b", "$HOME", "|", "x"}), error)) << error;
    std::string out;
    char buffer[256];
    ssize_t n;
    while ((n = ::read(child.stdoutFd(), buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<std::size_t>(n));
    int status = -1;
    ASSERT_TRUE(child.waitFor(5000, status));
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out, "a;b $HOME | x\n");
}

TEST(ChildProcessTest, ReportsAProgramThatIsMissing) {
    ChildProcess child;
    std::string error;
    EXPECT_FALSE(child.start(ChildProcess::captured({"/nonexistent/ffmpeg"}), error));
    EXPECT_NE(error.find("/nonexistent/ffmpeg"), std::string::npos);
    EXPECT_FALSE(child.start(ChildProcess::captured({}), error));
}

TEST(ChildProcessTest, StopsContinuesAndKillsItsGroup) {
    const pid_t self = ::getpid();
    {
        ChildProcess child;
        std::string error;
        ASSERT_TRUE(child.start(ChildProcess::Spec({"sleep", "30"}), error)) << error;
        const pid_t pid = child.pid();
        EXPECT_EQ(::getpgid(pid), pid) << "a process group of its own";
        ASSERT_TRUE(child.suspend());
        for (int i = 0; i < 100 && test::processState(pid) != 'T'; ++i) ::usleep(10000);
        EXPECT_EQ(test::processState(pid), 'T');
        ASSERT_TRUE(child.resume());
        for (int i = 0; i < 100 && test::processState(pid) == 'T'; ++i) ::usleep(10000);
        EXPECT_NE(test::processState(pid), 'T');
        EXPECT_FALSE(child.exited());
        child.terminate();
        EXPECT_TRUE(child.exited());
        EXPECT_TRUE(WIFSIGNALED(child.waitStatus()));
        child.terminate();  // twice is harmless
        EXPECT_FALSE(child.suspend()) << "a reaped child is never signalled";
    }
    {
        ChildProcess forgotten;
        std::string error;
        ASSERT_TRUE(forgotten.start(ChildProcess::captured({"sleep", "30"}), error));
    }
    EXPECT_EQ(test::childProcesses(self).size(), 0u) << "the destructor kills and reaps";
}

TEST(ChildProcessTest, WaitForKillsWhatRunsTooLong) {
    ChildProcess child;
    std::string error;
    ASSERT_TRUE(child.start(ChildProcess::Spec({"sleep", "30"}), error));
    int status = 0;
    EXPECT_FALSE(child.waitFor(50, status));
    EXPECT_TRUE(WIFSIGNALED(status));
}

}  // namespace
}  // namespace oxle::server
