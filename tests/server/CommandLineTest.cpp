#include <gtest/gtest.h>

#include "server/Options.h"
#include "tests/server/TestSupport.h"

namespace oxle::server {
namespace {

int parse(std::vector<std::string> args, Options& options, std::string& message) {
    args.insert(args.begin(), "oxle_x86");
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    return CommandLine::parse(static_cast<int>(argv.size()), argv.data(), options, message);
}

TEST(CommandLineTest, ReadsEveryOption) {
    test::TempDir a;
    test::TempDir b;
    Options options;
    std::string message;
    ASSERT_EQ(parse({"--root",
                     a.path(),
                     "--root",
                     b.path(),
                     "--media-dir",
                     b.path(),
                     "--cd-drive",
                     "D:",
                     "--port",
                     "4000",
                     "--bind",
                     "127.0.0.1",
                     "--password",
                     "pw",
                     "--shutdown-command",
                     "systemctl poweroff",
                     "--ffmpeg",
                     "/opt/ff/bin/ffmpeg",
                     "--ready-file",
                     "/tmp/r",
                     "--verbose"},
                    options, message),
              -1)
        << message;
    EXPECT_EQ(options.roots, (std::vector<std::string>{a.path(), b.path()}));
    EXPECT_EQ(options.mediaDir, b.path());
    EXPECT_EQ(options.cdDrive, "D:");
    EXPECT_EQ(options.port, 4000);
    EXPECT_EQ(options.effectiveStreamPort(), 4001);
    EXPECT_EQ(options.bind, "127.0.0.1");
    EXPECT_EQ(options.password, "pw");
    EXPECT_EQ(options.shutdownCommand, "systemctl poweroff");
    EXPECT_EQ(options.effectiveFfprobe(), "/opt/ff/bin/ffprobe");
    EXPECT_EQ(options.readyFile, "/tmp/r");
    EXPECT_TRUE(options.verbose);
}

TEST(CommandLineTest, DefaultsAndFreePorts) {
    test::TempDir a;
    Options options;
    std::string message;
    ASSERT_EQ(parse({"--root", a.path()}, options, message), -1);
    EXPECT_EQ(options.port, 12050);
    EXPECT_EQ(options.effectiveStreamPort(), 12051);
    EXPECT_EQ(options.effectiveFfprobe(), "ffprobe");
    Options free;
    ASSERT_EQ(parse({"--root", a.path(), "--port", "0"}, free, message), -1);
    EXPECT_EQ(free.effectiveStreamPort(), 0);
    Options explicitStream;
    ASSERT_EQ(parse({"--root", a.path(), "--port", "0", "--stream-port", "9000"}, explicitStream, message), -1);
    EXPECT_EQ(explicitStream.effectiveStreamPort(), 9000);
}

TEST(CommandLineTest, RefusesBadCommandLines) {
    test::TempDir a;
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--root", "/nonexistent/oxle"},
        {"--root", a.path(), "--port", "70000"},
        {"--root", a.path(), "--port", "abc"},
        {"--root", a.path(), "--unknown"},
    };
    for (const auto& args : bad) {
        Options options;
        std::string message;
        EXPECT_EQ(parse(args, options, message), 2) << (args.empty() ? "" : args.back());
        EXPECT_FALSE(message.empty());
    }
    Options options;
    std::string help;
    EXPECT_EQ(parse({"--help"}, options, help), 0);
    EXPECT_NE(help.find("--ready-file"), std::string::npos);
    EXPECT_NE(help.find("listening command=PORT stream=PORT"), std::string::npos);
}

}  // namespace
}  // namespace oxle::server
