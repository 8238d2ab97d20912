// The configuration file under the command line, and --check's verdicts on what it names.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "server/NetUtil.h"
#include "server/ServerCheck.h"
#include "tests/server/ServerHarness.h"

namespace oxle::server {
namespace {

// What the server goes on with: roots, command and stream port, ffprobe, the file read.
std::string summary(const Options& o) {
    std::string roots;
    for (const std::string& root : o.roots) roots += root + ",";
    return roots + " " + std::to_string(o.port) + "/" + std::to_string(o.effectiveStreamPort()) + " " +
           o.effectiveFfprobe() + " " + o.configFile;
}

TEST(ConfigTest, CommandLineOverFile) {
    TempDir dir;
    const std::string a = dir.subdir("a"), b = dir.subdir("b"), c = dir.subdir("c");
    const std::string full = dir.file("full.conf", "# films and music\nroot = " + a + "\nroot = " + b +
                                                       "\n\n  port = 4000\n; a comment\nbind = 127.0.0.3\n"
                                                       "password = two #words\nverbose = true\n"
                                                       "shutdown-command = systemctl poweroff\n");
    const std::string spaced = dir.subdir("My Films, old #2");
    const std::string quoted = dir.file("quoted.conf", "root = \"" + spaced + "\"\nroot=" + a + "\n");
    const std::string typo = dir.file("typo.conf", "root = " + a + "\nprot = 4000\n");
    const std::string checkKey = dir.file("check.conf", "root = " + a + "\ncheck = true\n");
    const std::string noRoot = dir.file("noroot.conf", "port = 4000\n");
    const std::string lost = dir.file("lost.conf", "root = " + dir.path() + "/gone\n");
    const std::string missing = dir / "missing.conf";
    struct Case {
        std::vector<std::string> args;
        std::string defaultConfig;
        int exit;  // -1: go on
        std::string summary;
    };
    const Case cases[] = {
        {{"--config", full}, missing, -1, a + "," + b + ", 4000/4001 ffprobe " + full},
        {{}, full, -1, a + "," + b + ", 4000/4001 ffprobe " + full},
        {{"--config", quoted}, full, -1, spaced + "," + a + ", 12050/12051 ffprobe " + quoted},
        // The command line wins, a repeated option as a whole.
        {{"--config", full, "--root", c, "--port", "5000"}, missing, -1, c + ", 5000/5001 ffprobe " + full},
        {{"--root", c}, full, -1, c + ", 4000/4001 ffprobe " + full},
        {{"--root", c, "--port", "0"}, missing, -1, c + ", 0/0 ffprobe "},
        {{"--root", c, "--ffmpeg", "/opt/ff/ffmpeg"}, missing, -1, c + ", 12050/12051 /opt/ff/ffprobe "},
        {{"--root", c, "--stream-port", "9000", "--ffprobe", "/x/probe"}, missing, -1, c + ", 12050/9000 /x/probe "},
        // An empty name reads no file at all, not even the default.
        {{"--config", "", "--root", c}, full, -1, c + ", 12050/12051 ffprobe "},
        {{"--root", c, "--root", b, "--media-dir", a, "--cd-drive", "D:", "--password", "pw"},
         missing,
         -1,
         c + "," + b + ", 12050/12051 ffprobe "},
        // --check judges missing and lost folders itself.
        {{"--config", noRoot, "--check"}, missing, -1, " 4000/4001 ffprobe " + noRoot},
        {{"--config", lost, "--check"}, missing, -1, dir.path() + "/gone, 12050/12051 ffprobe " + lost},
        {{"--help"}, missing, 0, ""},
        {{}, missing, 2, ""},
        {{"--config", missing, "--root", c}, full, 2, ""},
        {{"--config", typo}, missing, 2, "prot"},
        {{"--config", checkKey}, missing, 2, ""},
        {{"--config", noRoot}, missing, 2, ""},
        {{"--config", lost}, missing, 2, ""},
        {{"--root", "/nonexistent/oxle"}, missing, 2, ""},
        {{"--root", c, "--port", "65536"}, missing, 2, ""},
        {{"--root", c, "--port", "abc"}, missing, 2, ""},
        {{"--root", c, "--unknown"}, missing, 2, ""},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(::testing::PrintToString(row.args) + " default " + row.defaultConfig);
        Options options;
        std::string message;
        ASSERT_EQ(test::parse(row.args, options, message, row.defaultConfig), row.exit) << message;
        EXPECT_EQ(message.empty(), row.exit < 0);
        if (row.exit >= 0) {
            EXPECT_NE(message.find(row.summary), std::string::npos) << message;
            continue;
        }
        EXPECT_EQ(summary(options), row.summary);
        if (row.args.size() > 8) {
            EXPECT_EQ(options.mediaDir + options.cdDrive + options.password, a + "D:pw");
        }
        if (options.roots.size() == 2 && options.configFile == full) {
            EXPECT_EQ(options.bind, "127.0.0.3");
            EXPECT_EQ(options.password, "two #words");
            EXPECT_TRUE(options.verbose);
            EXPECT_EQ(options.shutdownCommand, "systemctl poweroff");
        }
    }
}

// One fake ffmpeg per row: a script that lists the encoders it was given.
std::string fakeFfmpeg(const TempDir& dir, const std::string& name, const std::string& encoders) {
    const std::string folder = dir.subdir(name);
    const std::string ffmpeg = dir.file(name + "/ffmpeg", "#!/bin/sh\nprintf '%s\\n' " + encoders + "\n");
    dir.file(name + "/ffprobe", "#!/bin/sh\necho ffprobe version 5\n");
    ::chmod(ffmpeg.c_str(), 0755);
    ::chmod((folder + "/ffprobe").c_str(), 0755);
    return ffmpeg;
}

const ServerCheck::Verdict* findVerdict(const std::vector<ServerCheck::Verdict>& verdicts, const std::string& item) {
    for (const ServerCheck::Verdict& verdict : verdicts) {
        if (verdict.item.rfind(item, 0) == 0) return &verdict;
    }
    return nullptr;
}

TEST(ServerCheckTest, EachFaultIsNamed) {
    TempDir dir;
    const std::string films = dir.subdir("films");
    const std::string closed = dir.subdir("closed");
    ::chmod(dir.path().c_str(), 0755);
    ::chmod(films.c_str(), 0755);
    ::chmod(closed.c_str(), 0700);
    const std::string plain = dir.file("plain.txt", "not a disc");
    const std::string good = fakeFfmpeg(dir, "good", "' V....D mpeg2video  MPEG-2 video' ' A....D mp2  MP2'");
    const std::string noMp2 = fakeFfmpeg(dir, "nomp2", "' V....D mpeg2video  MPEG-2 video' ' A....D mp2fixed  MP2'");
    std::string why;
    UniqueFd taken = NetUtil::listenTcp("127.0.0.1", 0, why);
    ASSERT_TRUE(taken) << why;
    const int busy = NetUtil::localPort(taken.get());
    struct Case {
        const char* what;
        std::function<void(Options&)> change;
        const char* item;
        bool ok;
        const char* says;
    };
    const Case cases[] = {
        {"a good configuration", [](Options&) {}, "root", true, "readable"},
        {"no root", [](Options& o) { o.roots.clear(); }, "root", false, "add a line \"root = "},
        {"a lost root", [&](Options& o) { o.roots = {dir / "gone"}; }, "root", false, "does not exist"},
        {"a file as root", [&](Options& o) { o.roots = {plain}; }, "root", false, "is not a folder"},
        {"a lost media folder", [&](Options& o) { o.mediaDir = dir / "gone"; }, "media-dir", false, "does not exist"},
        {"no ffmpeg",
         [&](Options& o) {
             o.ffprobe = o.effectiveFfprobe();
             o.ffmpeg = dir / "none/ffmpeg";
         },
         "ffmpeg", false, "apt install ffmpeg"},
        {"no mp2 encoder", [&](Options& o) { o.ffmpeg = noMp2; }, "ffmpeg", false, "no mp2 encoder"},
        {"no ffprobe", [&](Options& o) { o.ffprobe = dir / "none/ffprobe"; }, "ffprobe", false, "cannot run"},
        {"a port in use", [&](Options& o) { o.port = busy; }, "command port", false, "cannot listen"},
        {"a privileged port", [](Options& o) { o.streamPort = 80; }, "stream port", false, "from 1024 up"},
        {"a lost drive", [&](Options& o) { o.cdDrive = dir / "sr9"; }, "cd-drive", false, "does not exist"},
        {"a drive that is no disc", [&](Options& o) { o.cdDrive = plain; }, "cd-drive", false, "neither"},
        {"a lost shutdown command", [](Options& o) { o.shutdownCommand = "/nonexistent/poweroff now"; },
         "shutdown-command", false, "full path"},
        {"sudo, which the service cannot use",
         [&](Options& o) {
             const std::string sudo = dir.file("bin/sudo", "#!/bin/sh\n");
             ::chmod(sudo.c_str(), 0755);
             o.shutdownCommand = sudo + " poweroff";
         },
         "shutdown-command", false, "NoNewPrivileges"},
        {"a shutdown command on PATH", [](Options& o) { o.shutdownCommand = "true --now"; }, "shutdown-command", true,
         "runs /"},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.what);
        Options options;
        options.roots = {films};
        options.ffmpeg = good;
        options.bind = "127.0.0.1";
        options.port = 0;
        options.streamPort = 0;
        row.change(options);
        const std::vector<ServerCheck::Verdict> verdicts = ServerCheck(options, "").run();
        const ServerCheck::Verdict* verdict = findVerdict(verdicts, row.item);
        ASSERT_NE(verdict, nullptr);
        EXPECT_EQ(verdict->ok, row.ok) << verdict->text;
        EXPECT_NE(verdict->text.find(row.says), std::string::npos) << verdict->text;
        std::FILE* sink = std::fopen("/dev/null", "w");
        ASSERT_NE(sink, nullptr);
        int failed = 0;
        for (const ServerCheck::Verdict& each : verdicts) failed += each.ok ? 0 : 1;
        // A machine with an optical drive may hold a disc that cannot be read; only the
        // rows about it count then.
        if (options.cdDrive.empty() && !options.effectiveCdDrive().empty()) failed = !row.ok;
        EXPECT_EQ(failed, row.ok ? 0 : 1);
        EXPECT_EQ(ServerCheck::print(verdicts, sink), failed == 0 ? 0 : 1);
        std::fclose(sink);
    }
    // The service's user, not root, must get into the folders.
    if (::geteuid() != 0) GTEST_SKIP() << "judging as another user needs root";
    for (const auto& [folder, ok] : {std::pair{films, true}, std::pair{closed, false}}) {
        SCOPED_TRACE(folder);
        Options options;
        options.roots = {folder};
        const std::vector<ServerCheck::Verdict> verdicts = ServerCheck(options, "nobody").run();
        const ServerCheck::Verdict* verdict = findVerdict(verdicts, "root");
        ASSERT_NE(verdict, nullptr);
        EXPECT_EQ(verdict->ok, ok) << verdict->text;
        EXPECT_NE(verdict->text.find("the user nobody"), std::string::npos) << verdict->text;
    }
}

}  // namespace
}  // namespace oxle::server
