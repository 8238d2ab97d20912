#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "server/Listing.h"
#include "tests/server/TestSupport.h"

namespace oxle::server {
namespace {

using test::RunningServer;
using test::TempDir;
using test::TestMedia;

constexpr const char* kEmptyListing = "<list/>";

// Connects, sends `payload` (possibly nothing) and tells whether the server closed the
// connection without a reply within `timeoutMs`.
bool closedWithoutReply(std::uint16_t port, const std::string& payload, int timeoutMs) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return false;
    }
    if (!payload.empty()) ::send(fd, payload.data(), payload.size(), MSG_NOSIGNAL);
    pollfd waiting{fd, POLLIN, 0};
    bool closed = false;
    if (::poll(&waiting, 1, timeoutMs) == 1) {
        char byte;
        closed = ::recv(fd, &byte, 1, 0) <= 0;
    }
    ::close(fd);
    return closed;
}

TEST(CommandServerTest, AnswersTheServerParameterRequests) {
    TempDir other;
    Options options = RunningServer::loopback(TestMedia::get().dir);
    options.roots.push_back(other.path());
    options.cdDrive = "/dev/sr0";
    RunningServer server(options);

    EXPECT_EQ(server.command("RQS|SPO|NO"), std::to_string(server.streamPort()));
    EXPECT_EQ(server.command("RQS|STD|NO"), std::filesystem::canonical(TestMedia::get().dir).string());
    EXPECT_EQ(server.command("RQS|CDD|NO"), "/dev/sr0");
    EXPECT_EQ(server.command("RQS|SIP|NO"), "127.0.0.1");
    const std::string description = server.command("RQS|SEP|NO");
    EXPECT_NE(description.find("oxle_x86"), std::string::npos);
    EXPECT_EQ(description.find('\n'), std::string::npos);
    EXPECT_EQ(server.command("VLC|STA|NO"), "+ok");
    EXPECT_EQ(server.command("RQS|PSW|anything"), "+ok") << "no password set";
}

TEST(CommandServerTest, RefusesWhatItDoesNotKnow) {
    RunningServer server(RunningServer::loopback(TestMedia::get().dir));
    const char* requests[] = {"VLC|XYZ|NO", "RQS|XYZ|NO",        "FOO|GTI|NO", "X|X|X|x|x",   "hello",
                              "VLC|PLY|/x", "VLC|PLY|/x|zero|1", "VLC|FFW|-2", "VLC|REW|abc", "RQS|CLW|NO",
                              "VLC|PAU|NO", "VLC|NXT|NO",        "VLC|PRV|NO"};
    for (const char* request : requests) EXPECT_EQ(server.command(request), "+nok") << request;
    EXPECT_EQ(server.command("VLC|STP|NOUP"), "+ok");
    EXPECT_EQ(server.command("VLC|STP|NO"), "+ok") << "stopping twice is harmless";
    const std::string status = server.command("VLC|GTI|NO");
    EXPECT_EQ(test::elementText(status, "time"), "0");
    EXPECT_EQ(test::elementText(status, "length"), "0");
    EXPECT_EQ(test::elementText(status, "position"), "0");
}

TEST(CommandServerTest, ListsFoldersAndTheMediaDirectory) {
    const auto& media = TestMedia::get();
    TempDir extra;
    extra.file("show.mkv", "x");
    Options options = RunningServer::loopback(media.dir);
    options.mediaDir = extra.path();
    RunningServer server(options);
    const std::string root = std::filesystem::canonical(media.dir).string();

    const std::string listing = server.command("VLC|GFL|" + root);
    for (const char* name : {"clip.mp4", "clip.ts", "long.mp4", "song.mp3"}) {
        EXPECT_NE(listing.find("name=\"" + std::string(name) + "\""), std::string::npos) << name;
    }
    EXPECT_NE(listing.find("path=\"" + root + "/..\" name=\"..\""), std::string::npos) << listing;
    EXPECT_NE(server.command("VLC|MDI|NO").find("name=\"show.mkv\""), std::string::npos);
    const std::string roots = server.command("VLC|GFL|c:/..");
    EXPECT_NE(roots.find("name=\"" + root + "\""), std::string::npos) << roots;
    EXPECT_NE(server.command("VLC|GFL|/etc").find(kEmptyListing), std::string::npos);
    EXPECT_NE(server.command("VLC|GFL|" + root + "/../..").find(kEmptyListing), std::string::npos);

    RunningServer withoutMediaDir(RunningServer::loopback(media.dir));
    EXPECT_NE(withoutMediaDir.command("VLC|MDI|NO").find(kEmptyListing), std::string::npos);
}

TEST(CommandServerTest, PasswordGuardsListings) {
    Options options = RunningServer::loopback(TestMedia::get().dir);
    options.password = "s3cret";
    RunningServer server(options);
    const std::string root = TestMedia::get().dir;
    EXPECT_NE(server.command("VLC|GFL|" + root).find(kEmptyListing), std::string::npos);
    EXPECT_EQ(server.command("RQS|PSW|wrong"), "+nok");
    EXPECT_NE(server.command("VLC|GFL|" + root).find(kEmptyListing), std::string::npos);
    EXPECT_EQ(server.command("RQS|PSW|s3cret"), "+ok");
    EXPECT_NE(server.command("VLC|GFL|" + root).find("clip.mp4"), std::string::npos);
    EXPECT_NE(server.command("VLC|MDI|NO").find(kEmptyListing), std::string::npos) << "no media dir configured";
}

TEST(CommandServerTest, DescribesFilesAndUndoesDoubledBackslashes) {
    TempDir dir;
    const std::string odd = dir.path() + "/odd\\name.mp3";
    std::filesystem::copy_file(TestMedia::get().songMp3, odd);
    dir.file("broken.avi", "not a video at all");
    Options options = RunningServer::loopback(TestMedia::get().dir);
    options.roots.push_back(dir.path());
    RunningServer server(options);

    const std::string clip = server.command("RQS|NFO|" + TestMedia::get().clipMp4);
    EXPECT_NE(clip.find("File: clip.mp4\n"), std::string::npos) << clip;
    EXPECT_NE(clip.find("Length: 0:00:03"), std::string::npos) << clip;
    EXPECT_NE(clip.find("Video, H.264, 640x360"), std::string::npos) << clip;
    EXPECT_NE(clip.find("Audio, AAC"), std::string::npos) << clip;
    const std::string doubled = server.command("RQS|NFO|" + dir.path() + "/odd\\\\name.mp3");
    EXPECT_NE(doubled.find("Audio, MPEG Audio Layer 3"), std::string::npos) << doubled;
    EXPECT_EQ(server.command("RQS|NFO|/etc/passwd"), "+nok");
    EXPECT_EQ(server.command("RQS|NFO|" + dir.path() + "/broken.avi"), "+nok");
    EXPECT_EQ(server.command("RQS|NFO|" + dir.path() + "/missing.avi"), "+nok");
}

TEST(CommandServerTest, ShutdownRunsTheGivenCommandWithoutAShell) {
    TempDir dir;
    const std::string marker = dir.path() + "/down;echo";
    Options options = RunningServer::loopback(TestMedia::get().dir);
    options.shutdownCommand = "touch " + marker;
    RunningServer server(options);
    EXPECT_EQ(server.command("RQS|CLW|NO"), "+ok");
    EXPECT_TRUE(std::filesystem::exists(marker)) << "the ';' reached touch as part of the name";

    options.shutdownCommand = "/nonexistent/poweroff now";
    RunningServer failing(options);
    EXPECT_EQ(failing.command("RQS|CLW|NO"), "+nok");
}

TEST(CommandServerTest, SurvivesSilentOversizedAndParallelClients) {
    RunningServer server(RunningServer::loopback(TestMedia::get().dir));
    EXPECT_TRUE(closedWithoutReply(server.commandPort(), "", 7000)) << "silent client dropped after 5 s";
    EXPECT_TRUE(closedWithoutReply(server.commandPort(), "VLC|GFL|/" + std::string(70 * 1024, 'a'), 3000));

    std::atomic<int> answered{0};
    std::vector<std::thread> clients;
    for (int i = 0; i < 24; ++i) {
        clients.emplace_back([&] {
            if (test::elementText(server.command("VLC|GTI|NO"), "time") == "0") ++answered;
        });
    }
    for (auto& client : clients) client.join();
    EXPECT_EQ(answered.load(), 24);
    EXPECT_EQ(server.command("RQS|SPO|NO"), std::to_string(server.streamPort())) << "still serving";
}

TEST(CommandServerTest, MissingFfmpegIsReportedAndNothingElseBreaks) {
    Options options = RunningServer::loopback(TestMedia::get().dir);
    options.ffmpeg = "/nonexistent/ffmpeg";
    options.ffprobe = "ffprobe";
    RunningServer server(options);
    EXPECT_EQ(server.command("VLC|STA|NO"), "+nok");
    EXPECT_EQ(server.command("VLC|PLY|" + TestMedia::get().clipMp4 + "|0|1"), "+nok");
    test::StreamClient client(server.streamPort());
    EXPECT_EQ(client.firstRead().rfind("HTTP/1.0 404", 0), 0u);
    EXPECT_NE(server.command("VLC|GFL|" + TestMedia::get().dir).find("clip.mp4"), std::string::npos);
}

}  // namespace
}  // namespace oxle::server
