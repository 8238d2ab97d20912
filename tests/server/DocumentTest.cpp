// What the server reads, writes and decides without a socket or a process.
#include <gtest/gtest.h>

#include <algorithm>

#include "server/FfmpegCommand.h"
#include "server/FileInfo.h"
#include "server/HttpRequest.h"
#include "server/Listing.h"
#include "server/PlayStatus.h"
#include "server/Probe.h"
#include "server/RequestParser.h"
#include "server/Session.h"

namespace oxle::server {
namespace {

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

// Each wire text with its group, command and arguments; none where it must be refused.
TEST(RequestTest, SplitsRequestsKeepsBarsInsidePathsAndRefusesMalformedOnes) {
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"VLC|GTI|NO", {"VLC", "GTI", "NO"}},
        {"VLC|STA", {"VLC", "STA"}},
        {"RQS|PSW|se|cret", {"RQS", "PSW", "se", "cret"}},
        {"VLC|PLY|/m/a|b|c.avi|120|2", {"VLC", "PLY", "/m/a|b|c.avi", "120", "2"}},
        {"VLC|GFL|/m/x|y|", {"VLC", "GFL", "/m/x|y|"}},
        {"VLC|GTI|NO\r\n", {"VLC", "GTI", "NO"}},
        {"VLC|PLY|/m/a.avi|0", {}},
        {"VLC|PLY||1", {}},
        {"VLC|GFL", {}},
        {"hello", {}},
        {"|GTI|NO", {}},
        {"VLC||NO", {}},
        {std::string("VLC|GFL|/m\0/x", 13), {}},
    };
    for (const auto& [wire, parts] : cases) {
        const ParseResult result = RequestParser::parse(wire);
        EXPECT_EQ(result.error.empty(), result.ok) << wire;
        std::vector<std::string> found;
        if (result.ok) found = {result.request.group, result.request.command};
        found.insert(found.end(), result.request.args.begin(), result.request.args.end());
        EXPECT_EQ(found, parts) << wire << ": " << result.error;
    }
}

// The box doubles every backslash of a path it got from a listing before sending it back.
TEST(RequestTest, NumbersAndDoubledBackslashes) {
    const std::pair<const char*, bool> numbers[] = {
        {"0", true},    {"120", true}, {"-5", true},  {"", false},
        {"12a", false}, {" 1", false}, {"NO", false}, {"99999999999999999999", false}};
    for (const auto& [text, ok] : numbers) {
        long value = 7;
        EXPECT_EQ(RequestParser::parseInt(text, value), ok) << text;
        EXPECT_EQ(std::to_string(value), ok ? text : "7") << "untouched when refused";
    }
    const std::pair<const char*, const char*> paths[] = {{"/m/a\\\\b.avi", "/m/a\\b.avi"},
                                                         {"C:\\\\films\\\\a.avi", "C:\\films\\a.avi"},
                                                         {"/m/a\\\\\\\\b", "/m/a\\\\b"},
                                                         {"/m/a\\b\\", "/m/a\\b\\"}};
    for (const auto& [sent, meant] : paths) EXPECT_EQ(RequestParser::undoubleBackslashes(sent), meant) << sent;
}

TEST(RequestTest, StreamRequestLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"GET /dboxstream HTTP/1.0\r\n\r\n", "GET /dboxstream"},
        {"GET /dboxstream HTTP/1.1\r\nHost: x\r\n\r\n", "GET /dboxstream"},
        {"POST / HTTP/1.0\n\n", "POST /"},
        {"GET /dboxstream\r\n\r\n", "refused"},
        {"GET  HTTP/1.0\r\n\r\n", "refused"},
        {" /dboxstream HTTP/1.0\r\n\r\n", "refused"},
        {"GET /dboxstream FTP/1.0\r\n\r\n", "refused"},
    };
    for (const auto& [head, line] : cases) {
        std::string method;
        std::string target;
        EXPECT_EQ(HttpRequest::parseRequestLine(head, method, target) ? method + " " + target : "refused", line)
            << head;
    }
    EXPECT_TRUE(HttpRequest::headComplete("GET / HTTP/1.0\n\n"));
    EXPECT_FALSE(HttpRequest::headComplete("GET / HTTP/1.0\r\nHost: x\r\n"));
}

TEST(DocumentTest, ListingAndPlayStatusAreWhatTheBoxReads) {
    using Kind = ListEntry::Kind;
    const std::string odd = "Tom & Jerry <1> \"a\" 'b'\t\n\r &amp; M\xC3\xA4rchen.avi";
    const std::string escaped =
        "Tom &amp; Jerry &lt;1&gt; &quot;a&quot; &apos;b&apos;&#9;&#10;&#13; &amp;amp; M\xC3\xA4rchen.avi";
    EXPECT_EQ(Listing::document({{Kind::Parent, "", "/m/..", 0, "", ""},
                                 {Kind::Directory, "Serien", "/m/Serien", 0, "", ""},
                                 {Kind::File, "big.mkv", "/m/big.mkv", 5368709120ULL, "film.png", "2024-01-02 03:04"},
                                 {Kind::File, odd, "/m/" + odd, 1, "film.png", ""}}),
              kDeclaration + "<list>\n<entry type=\"directory\" path=\"/m/..\" name=\"..\"/>\n" +
                  "<entry type=\"directory\" path=\"/m/Serien\" name=\"Serien\"/>\n" +
                  "<entry type=\"file\" path=\"/m/big.mkv\" name=\"big.mkv\" size=\"5368709120\" pic=\"film.png\" " +
                  "date=\"2024-01-02 03:04\"/>\n<entry type=\"file\" path=\"/m/" + escaped + "\" name=\"" + escaped +
                  "\" size=\"1\" pic=\"film.png\" date=\"\"/>\n</list>\n");
    EXPECT_EQ(Listing::emptyDocument(), kDeclaration + "<list/>\n");
    const PlayStatus status{600, 5400, 11, "H.264 <&>", "1280x720"};
    EXPECT_EQ(status.document(), kDeclaration + "<root>\n<time>600</time>\n<length>5400</length>\n" +
                                     "<position>11</position>\n<information>\n<category name=\"Stream 0\">\n" +
                                     "<info name=\"Codec\">H.264 &lt;&amp;&gt;</info>\n" +
                                     "<info name=\"Aufl\xC3\xB6sung\">1280x720</info>\n</category>\n" +
                                     "</information>\n</root>\n");
}

// What ffprobe tells is what "NFO" shows.
TEST(DocumentTest, ProbeResultBecomesTheFileInformationText) {
    const std::string json = R"({"streams": [
        {"codec_name": "h264", "codec_type": "video", "width": 1920, "height": 1080},
        {"codec_name": "ac3", "codec_type": "audio", "channels": 6, "sample_rate": "48000", "tags": {"language": "ger"}},
        {"codec_name": "mjpeg", "codec_type": "video", "width": 300, "height": 300, "disposition": {"attached_pic": 1}}],
      "format": {"format_name": "matroska,webm", "duration": "5400.4", "size": "3221225472"}})";
    MediaInfo info;
    std::string error;
    ASSERT_TRUE(Probe::parseJson(json, info, error)) << error;
    EXPECT_EQ(FileInfo::text("/m/Film.mkv", info),
              "File: Film.mkv\nContainer: matroska,webm\nLength: 1:30:00\nSize: 3221225472 bytes (3072 MiB)\n"
              "Stream 1: Video, H.264, 1920x1080\nStream 2: Audio, AC-3, 6 channels, 48000 Hz, language ger\n"
              "Stream 3: Video, MJPEG, 300x300, cover picture\n");
    for (const char* text : {"", "not json", "[1,2]", "{}", R"({"streams": []})", R"({"streams": 5})"}) {
        EXPECT_FALSE(Probe::parseJson(text, info, error)) << text;
    }
    const std::pair<double, const char*> durations[] = {
        {-3, "0:00:00"}, {59.4, "0:00:59"}, {59.6, "0:01:00"}, {3599, "0:59:59"}, {3600, "1:00:00"}};
    for (const auto& [seconds, text] : durations) EXPECT_EQ(FileInfo::duration(seconds), text) << seconds;
}

StreamInfo video(const std::string& codec, int width = 720, int height = 576, bool cover = false) {
    return StreamInfo{"video", codec, "", width, height, 0, 0, cover};
}

StreamInfo audio(const std::string& codec) { return StreamInfo{"audio", codec, "", 0, 0, 0, 0, false}; }

MediaInfo media(std::vector<StreamInfo> streams, double seconds = 100) { return MediaInfo{"", seconds, 0, streams}; }

std::vector<std::string> command(const std::string& input, const MediaInfo& info, int start = 0, int channel = 1) {
    return FfmpegCommand::build(TranscodeRequest{"ffmpeg", input, start, channel}, info);
}
// The value after the occurrence-th `option`, or "<absent>".
std::string valueOf(const std::vector<std::string>& args, const std::string& option, int occurrence = 0) {
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == option && occurrence-- == 0) return args[i + 1];
    }
    return "<absent>";
}

TEST(TranscodeTest, RemuxOnlyWhatTheSdDecoderPlaysAsItIs) {
    const std::tuple<const char*, MediaInfo, StreamPlan> cases[] = {
        {"a.ts", media({video("mpeg2video"), audio("mp2")}), StreamPlan::Remux},
        {"a.VOB", media({video("mpeg2video"), audio("ac3"), audio("mp3")}), StreamPlan::Remux},
        {"a.m2ts", media({video("mpeg2video", 1920, 1080), audio("ac3")}), StreamPlan::Transcode},
        {"a.mpg", media({video("mpeg2video", 720, 577), audio("mp2")}), StreamPlan::Transcode},
        {"a.ts", media({video("h264"), audio("mp2")}), StreamPlan::Transcode},
        {"a.ts", media({video("mpeg2video"), audio("mp2"), audio("aac")}), StreamPlan::Transcode},
        {"a.ts", media({video("mpeg2video")}), StreamPlan::Transcode},
        {"a.mkv", media({video("mpeg2video"), audio("mp2")}), StreamPlan::Transcode},
        {"a.mp3", media({audio("mp3")}), StreamPlan::AudioOnly},
        {"a.mp3", media({audio("mp3"), video("mjpeg", 300, 300, true)}), StreamPlan::AudioOnly},
    };
    for (const auto& [name, info, plan] : cases) EXPECT_EQ(FfmpegCommand::plan(name, info), plan) << name;
}

TEST(TranscodeTest, EachPlanGetsItsArguments) {
    const auto args = command("/m/film.mp4", media({video("h264", 1280, 720), audio("aac")}), 90);
    EXPECT_LT(std::find(args.begin(), args.end(), "-ss"), std::find(args.begin(), args.end(), "-i"));
    EXPECT_EQ(valueOf(args, "-ss"), "90");
    EXPECT_NE(valueOf(args, "-vf").find("pad=720:576"), std::string::npos);
    EXPECT_EQ(valueOf(args, "-ar"), "48000");
    const auto remux = command("/m/rec.ts", media({video("mpeg2video"), audio("mp2")}));
    EXPECT_EQ(std::count(remux.begin(), remux.end(), "-ss"), 0) << "no seek from the start";
    // The box refuses a stream without an audio PID.
    const auto mute = command("/m/mute.mp4", media({video("h264", 640, 360)}));
    EXPECT_EQ(valueOf(mute, "-i", 1), "anullsrc=r=48000:cl=stereo");
    EXPECT_EQ(valueOf(mute, "-map", 1), "1:a:0");
    EXPECT_EQ(std::count(mute.begin(), mute.end(), "-shortest"), 1);
    // The track the box asks for when it exists, else the first.
    const MediaInfo twoTracks = media({video("h264"), audio("aac"), audio("ac3")});
    const std::pair<int, const char*> channels[] = {
        {1, "0:a:0"}, {2, "0:a:1"}, {3, "0:a:0"}, {0, "0:a:0"}, {-4, "0:a:0"}};
    for (const auto& [channel, map] : channels) {
        EXPECT_EQ(valueOf(command("/m/film.mkv", twoTracks, 0, channel), "-map", 1), map) << channel;
    }
}

// Where the transcoder starts is the session's time until its first byte goes out.
TEST(TranscodeTest, StatusAndSeekTargetsStayInsideTheSourceShortOfItsEnd) {
    struct Case {
        double length;
        int start;
        int time, reportedLength, position;  // the status
        int minutes, target;                 // a seek from there
    };
    const Case cases[] = {
        {150, 0, 0, 150, 0, 1, 60},    {150, 145, 145, 150, 96, 10, 140},
        {150, 30, 30, 150, 20, -1, 0}, {150, 200, 150, 150, 100, -1, 90},
        {149.6, 0, 0, 150, 0, 0, 0},   {0, 30, 30, 0, 0, 1, 90},
        {5, 0, 0, 5, 0, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("length " + std::to_string(c.length) + ", from " + std::to_string(c.start));
        Session session({"/m/film.mp4", media({video("h264")}, c.length), 1});
        ASSERT_TRUE(session.restart(std::make_shared<ChildProcess>(), c.start));
        const PlayStatus status = session.status();
        EXPECT_EQ(std::vector<int>({status.time, status.length, status.position}),
                  std::vector<int>({c.time, c.reportedLength, c.position}));
        EXPECT_EQ(session.seekTarget(c.minutes), c.target);
    }
}

}  // namespace
}  // namespace oxle::server
