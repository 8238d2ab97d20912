// Disc playback: locations, a DVD title's sectors and whole sessions on a DVD and a VCD
// from the test kit's disc maker, through the real server.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <tuple>

#include "MediaMaker.h"
#include "ServerProcess.h"
#include "TempDir.h"
#include "Ts.h"
#include "server/ChildProcess.h"
#include "server/Disc.h"
#include "server/DiscLocation.h"
#include "tests/server/ServerHarness.h"

namespace oxle::server {
namespace {

using test::StreamClient;
using Rgb = std::array<int, 3>;

constexpr int kToolLimitMs = 120000;
constexpr int kFrameInto = 12;  // a frame well inside a chapter, past what the cut before it left
constexpr std::uint32_t kSectorBytes = 2048;
const Rgb kRed{255, 0, 0}, kGreen{0, 128, 0}, kBlue{0, 0, 255}, kMagenta{255, 0, 255};

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs a tool to its end; its output lands in `log`.
bool run(std::vector<std::string> argv, const std::string& log, std::string& why) {
    ChildProcess tool;
    ChildProcess::Launch launch(std::move(argv));
    launch.output = ChildProcess::Stream::file(log, true);
    launch.errors = ChildProcess::Stream::file(log, true);
    int status = 0;
    if (tool.start(launch, why) && tool.waitFor(kToolLimitMs, status) && status == 0) return true;
    why = launch.argv[0] + " failed (" + ChildProcess::describeStatus(status) + "): " + slurp(log);
    return false;
}

// The colour of one frame of an MPEG stream, shrunk to one pixel.
Rgb colourOf(const std::string& media, int frame) {
    const std::string rgb = media + ".rgb";
    std::string why;
    const std::string pick = "select=eq(n\\," + std::to_string(frame) + "),scale=1:1";
    if (!run({"ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-i", media, "-vf", pick, "-frames:v", "1", "-f",
              "rawvideo", "-pix_fmt", "rgb24", rgb},
             media + ".log", why)) {
        ADD_FAILURE() << why;
    }
    const std::string pixel = slurp(rgb);
    if (pixel.size() != 3) return Rgb{-1, -1, -1};
    return Rgb{static_cast<unsigned char>(pixel[0]), static_cast<unsigned char>(pixel[1]),
               static_cast<unsigned char>(pixel[2])};
}

// What came after the stream's HTTP head.
std::string body(const StreamClient& client) {
    return client.data().substr(std::string(HttpRequest::kStreamHeader).size());
}

bool near(const Rgb& got, const Rgb& want) {
    constexpr int kTolerance = 40;
    for (int i = 0; i < 3; ++i) {
        if (std::abs(got[i] - want[i]) > kTolerance) return false;
    }
    return true;
}

// A PAL DVD (title 1: red, green and blue chapters of 2 s; AC-3 "en" then MP2 "de") as a
// folder, as an ISO 9660 image and as a copy whose media packets claim to be scrambled,
// and a VCD of two entries (yellow, magenta) as .cue/.bin. Placed once per test run.
class DiscTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        discs = new TempDir("oxle-discs");
        if (!make(failure)) failure = failure.empty() ? "cannot make the discs" : failure;
    }
    static void TearDownTestSuite() {
        delete discs;
        discs = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(failure.empty() || failure == "ok") << failure; }
    void TearDown() override { EXPECT_TRUE(test::noChildrenLeft()); }

    static std::string at(const std::string& name) { return *discs / name; }

    static bool make(std::string& why) {
        const MediaMaker::Disc dvd;
        const MediaMaker::Disc vcd{MediaMaker::DiscKind::Vcd};
        if (!MediaMaker::placeDisc(dvd, at("dvd"), why) || !MediaMaker::placeDisc(dvd, at("dvd.iso"), why) ||
            !MediaMaker::placeDisc(vcd, at("vcd.cue"), why)) {
            return false;
        }
        // Scrambling bits on every video and audio packet, as an encrypted disc has them.
        for (const char* name : {"VIDEO_TS.IFO", "VTS_01_0.IFO", "VTS_01_1.VOB"}) {
            std::string bytes = slurp(at("dvd/VIDEO_TS/") + name);
            for (std::size_t sector = 0; sector + kSectorBytes <= bytes.size(); sector += kSectorBytes) {
                if (bytes.compare(sector, 4, std::string("\0\0\1\xba", 4)) != 0) continue;
                const std::size_t pes = sector + 14 + (bytes[sector + 13] & 7);
                const auto id = static_cast<unsigned char>(bytes[pes + 3]);
                if (bytes.compare(pes, 3, std::string("\0\0\1", 3)) == 0 && (id == 0xbd || id >= 0xc0)) {
                    bytes[pes + 6] = static_cast<char>(bytes[pes + 6] | 0x10);
                }
            }
            discs->file(std::string("scrambled/VIDEO_TS/") + name, bytes);
        }
        discs->file("damaged.iso", std::string(100 * kSectorBytes, 'x'));
        failure = "ok";
        return true;
    }

    static TempDir* discs;
    static std::string failure;
    TempDir dir;
};

TempDir* DiscTest::discs = nullptr;
std::string DiscTest::failure;

TEST(DiscLocationTest, TakesOnlyWellFormedLocationsOnTheConfiguredDrive) {
    const std::tuple<const char*, const char*, bool, DiscLocation::Kind, int, int> cases[] = {
        {"dvdsimple:///dev/sr0@1:02-", "/dev/sr0", true, DiscLocation::Kind::Dvd, 1, 2},
        {"vcdx://D:@1:05-", "D:", true, DiscLocation::Kind::Vcd, 1, 5},
        {"dvdsimple:///m/film.iso@12:999", "/m/film.iso", true, DiscLocation::Kind::Dvd, 12, 999},
        {"dvdsimple:///dev/sr1@1:02-", "/dev/sr0", false, {}, 0, 0},    // another drive
        {"dvdsimple:///dev/sr@1:02-", "/dev/sr0", false, {}, 0, 0},     // a part of it
        {"dvdsimple:///dev/sr0@1:02-", "", false, {}, 0, 0},            // none configured
        {"dvdsimple:///m/../etc@1:01-", "/m/../etc", false, {}, 0, 0},  // '..', even when configured
        {"dvdsimple:///dev/sr0@1:02-@1:03-", "/dev/sr0", false, {}, 0, 0},
        {"dvdsimple:///dev/sr0", "/dev/sr0", false, {}, 0, 0},
        {"dvdsimple:///dev/sr0@0:01-", "/dev/sr0", false, {}, 0, 0},
        {"dvdsimple:///dev/sr0@1:00-", "/dev/sr0", false, {}, 0, 0},
        {"dvdsimple:///dev/sr0@1:-", "/dev/sr0", false, {}, 0, 0},
        {"dvdsimple:///dev/sr0@1-", "/dev/sr0", false, {}, 0, 0},
        {"dvdsimple:///dev/sr0@a:1-", "/dev/sr0", false, {}, 0, 0},
        {"dvdsimple:///dev/sr0@1:2-3", "/dev/sr0", false, {}, 0, 0},
        {"dvdsimple:///dev/sr0@1:1000-", "/dev/sr0", false, {}, 0, 0},
        {"file:///dev/sr0@1:02-", "/dev/sr0", false, {}, 0, 0},
    };
    for (const auto& [text, drive, ok, kind, title, chapter] : cases) {
        DiscLocation location;
        std::string why;
        EXPECT_EQ(DiscLocation::parse(text, drive, location, why), ok) << text << ": " << why;
        EXPECT_EQ(ok, why.empty()) << text;
        if (ok) {
            EXPECT_EQ(std::make_tuple(location.kind, location.drive, location.title, location.chapter),
                      std::make_tuple(kind, std::string(drive), title, chapter))
                << text;
        }
    }
}

TEST(DiscTitleTest, StartsLandOnEntryPointsAndPlansCoverTheRest) {
    DiscTitle title;
    title.pieces = {{0, 99, 0, 4}, {100, 199, 4, 4}, {300, 399, 8, 2}};
    title.chapterPieces = {0, 2};
    title.entryPoints = {0, 50, 100, 130, 160, 300};
    const std::tuple<double, std::size_t, std::uint32_t, double, int> cases[] = {
        {-1, 0, 0, 0, 1},      {1, 0, 0, 0, 1},   {2.5, 0, 50, 2, 1},  {5, 1, 100, 4, 1},
        {6.5, 1, 160, 6.4, 1}, {8, 2, 300, 8, 2}, {100, 2, 300, 8, 2},
    };
    for (const auto& [seconds, piece, sector, from, chapter] : cases) {
        const DiscTitle::Start start = title.at(seconds);
        EXPECT_EQ(std::make_tuple(start.piece, start.sector), std::make_tuple(piece, sector)) << seconds;
        EXPECT_DOUBLE_EQ(start.seconds, from) << seconds;
        EXPECT_EQ(title.chapterAt(seconds), chapter) << seconds;
    }
    title.entryPoints.clear();  // an (S)VCD: any sector
    EXPECT_EQ(title.at(6).sector, 150u);
    const auto runs = title.plan(title.at(2.5), 64);
    const std::vector<std::pair<std::uint32_t, std::uint32_t>> expected = {
        {62, 38}, {100, 64}, {164, 36}, {300, 64}, {364, 36}};
    std::vector<std::pair<std::uint32_t, std::uint32_t>> got;
    for (const DiscTitle::Run& run : runs) got.emplace_back(run.first, run.count);
    EXPECT_EQ(got, expected);
}

TEST_F(DiscTest, EachChapterReadsAsItsOwnPictureFromFolderAndImage) {
    std::string previous;
    for (const std::string& drive : {at("dvd"), at("dvd/VIDEO_TS"), at("dvd.iso")}) {
        SCOPED_TRACE(drive);
        DiscTitle title;
        std::string why;
        const auto sectors = Disc::open(DiscLocation::Kind::Dvd, drive, 1, title, why);
        ASSERT_TRUE(sectors) << why;
        EXPECT_EQ(std::make_tuple(title.titleCount, title.chapterCount()), std::make_tuple(1, 3));
        EXPECT_NEAR(title.length(), 6.0, 0.1);
        const auto audio = title.info.audioStreams();
        ASSERT_EQ(audio.size(), 2u);
        EXPECT_EQ(audio[0]->codec + audio[0]->language + audio[1]->codec + audio[1]->language, "ac3enmp2de");
        EXPECT_EQ(title.audioIds, std::vector<int>({0x80, 0x1c0}));
        std::string all;
        const std::pair<int, Rgb> chapters[] = {{1, kRed}, {2, kGreen}, {3, kBlue}};
        for (const auto& [chapter, colour] : chapters) {
            DiscTitle::Start start;
            ASSERT_TRUE(title.chapterStart(chapter, start));
            EXPECT_NEAR(start.seconds, 2.0 * (chapter - 1), 0.3) << chapter;
            std::vector<std::uint8_t> bytes;
            for (const DiscTitle::Run& run : title.plan(start, 16))
                ASSERT_TRUE(sectors->read(run.first, run.count, bytes, why)) << why;
            const std::string media = dir.file("chapter.vob", std::string(bytes.begin(), bytes.end()));
            EXPECT_TRUE(near(colourOf(media, kFrameInto), colour)) << "chapter " << chapter;
            all += std::string(bytes.begin(), bytes.end());
        }
        // The image's own reader reads what the folder's reader reads.
        if (!previous.empty()) {
            EXPECT_TRUE(all == previous);
        }
        previous = all;
    }
    DiscTitle none;
    std::string why;
    EXPECT_FALSE(Disc::open(DiscLocation::Kind::Dvd, at("dvd"), 2, none, why));
    EXPECT_EQ(why, "title 2 does not exist: the disc has 1 title");
}

TEST_F(DiscTest, ASessionPerDiscKindStreamsTheChosenChapter) {
    struct Case {
        std::string drive, location;
        int channel;
        int audioId;  // PES stream id the box finds
        Rgb colour;
        const char *codec, *information;
    };
    const Case cases[] = {
        {at("dvd"), "dvdsimple://" + at("dvd") + "@1:02-", 1, 0xbd, kGreen, "MPEG-2 Video",
         "Title 1: 3 chapters, 0:00:06\nChapter 1: from 0:00:00, 0:00:02\n"},
        {at("dvd.iso"), "dvdsimple://" + at("dvd.iso") + "@1:03-", 2, ts::AUDIO_STREAM_ID, kBlue, "MPEG-2 Video",
         "Audio 1: AC-3, 2 channels, language en\nAudio 2: MPEG Audio Layer 2, 2 channels, language de\n"},
        {at("vcd.cue"), "vcdx://" + at("vcd.cue") + "@1:02-", 1, ts::AUDIO_STREAM_ID, kMagenta, "MPEG-1 Video",
         "Tracks: 2\nTitle 1: 2 entries"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.location);
        ServerProcess server({"--root", dir.path(), "--cd-drive", c.drive});
        ASSERT_TRUE(server.start()) << server.error();
        const std::string information = test::sendCommand(server.commandPort(), "RQS|NFO|" + c.location);
        EXPECT_NE(information.find(c.information), std::string::npos) << information;
        ASSERT_EQ(test::sendCommand(server.commandPort(), "VLC|PLY|" + c.location + "|0|" + std::to_string(c.channel)),
                  "+ok")
            << server.log();
        const std::string status = test::sendCommand(server.commandPort(), "VLC|GTI|NO");
        EXPECT_NE(status.find(std::string(">") + c.codec + "<"), std::string::npos) << status;
        StreamClient client(server.streamPort());
        ASSERT_TRUE(client.streaming());
        ASSERT_TRUE(client.readToEnd()) << "the end of the title closes the connection";
        const std::string stream = body(client);
        const ts::Scan scan = ts::scan(stream);
        EXPECT_TRUE(scan.aligned && scan.continuityErrors.empty());
        EXPECT_TRUE(scan.hasStreamId(ts::VIDEO_STREAM_ID) && scan.hasStreamId(c.audioId));
        EXPECT_EQ(scan.streamIds.size(), 2u) << "video and the one chosen audio stream";
        EXPECT_TRUE(near(colourOf(dir.file("got.ts", stream), kFrameInto), c.colour));
    }
}

TEST_F(DiscTest, NextAndPreviousStepThroughChaptersAndStopAtTheEnds) {
    ServerProcess server({"--root", dir.path(), "--cd-drive", at("dvd.iso")});
    ASSERT_TRUE(server.start()) << server.error();
    const auto command = [&](const std::string& request) { return test::sendCommand(server.commandPort(), request); };
    const auto time = [&] {
        const std::string status = command("VLC|GTI|NO");
        return std::atoi(status.substr(status.find("<time>") + 6).c_str());
    };
    // The play status counts whole seconds from where the chapter's cells begin.
    DiscTitle title;
    std::string why;
    ASSERT_TRUE(Disc::open(DiscLocation::Kind::Dvd, at("dvd.iso"), 1, title, why)) << why;
    const auto startOf = [&](int chapter) {
        DiscTitle::Start start;
        return title.chapterStart(chapter, start) ? static_cast<int>(start.seconds) : -1;
    };
    ASSERT_EQ(command("VLC|PLY|dvdsimple://" + at("dvd.iso") + "@1:01-|0|1"), "+ok");
    auto transcoders = test::childrenOf(server.pid());
    ASSERT_EQ(transcoders.size(), 1u);
    // Nobody fetches the stream, so the play clock stands at each chapter's start.
    const std::tuple<const char*, const char*, int> steps[] = {
        {"VLC|PRV|NO", "+nok", 1}, {"VLC|NXT|NO", "+ok", 2}, {"VLC|NXT|NO", "+ok", 3},
        {"VLC|NXT|NO", "+nok", 3}, {"VLC|PRV|NO", "+ok", 2}, {"VLC|REW|1", "+ok", 1},
    };
    for (const auto& [step, reply, chapter] : steps) {
        EXPECT_EQ(command(step), reply) << step;
        EXPECT_EQ(time(), startOf(chapter)) << step;
        const auto now = test::childrenOf(server.pid());
        ASSERT_EQ(now.size(), 1u) << step;
        EXPECT_EQ(now != transcoders, std::string(reply) == "+ok") << step << " restarts the transcoder";
        transcoders = now;
    }
    EXPECT_NE(server.log().find("no next chapter from chapter 3 of 3"), std::string::npos);
    StreamClient client(server.streamPort());
    ASSERT_TRUE(client.streaming());
    ASSERT_TRUE(client.readToEnd());
    EXPECT_TRUE(near(colourOf(dir.file("got.ts", body(client)), 0), kRed));
}

TEST_F(DiscTest, RefusedDiscsAnswerNokAnd404WithOneLogLine) {
    const std::string dvd = at("dvd");
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {dvd, "dvdsimple://" + dvd + "@1:04-",
         "chapter 4 does not exist: title 1 has 3 chapters (the disc has 1 title)"},
        {dvd, "dvdsimple://" + dvd + "@2:01-", "title 2 does not exist: the disc has 1 title"},
        {dvd, "dvdsimple://" + at("dvd.iso") + "@1:01-",
         "names the drive \"" + at("dvd.iso") + "\", not the configured " + dvd},
        {dvd, "dvdsimple://" + dvd + "/..@1:01-", "'..' in the drive name"},
        {dvd, "dvdsimple://" + dvd + "@1:01-@1:02-", "a disc location needs exactly one '@'"},
        {dvd, "vcdx://" + dvd + "@1:01-", "no (S)VCD in " + dvd},
        {at("vcd.cue"), "vcdx://" + at("vcd.cue") + "@1:03-", "entry 3 does not exist: the disc has 2 entries"},
        {at("scrambled"), "dvdsimple://" + at("scrambled") + "@1:01-", "the disc is encrypted"},
        {at("damaged.iso"), "dvdsimple://" + at("damaged.iso") + "@1:01-", "neither a DVD nor an ISO 9660 image"},
        {at("gone.iso"), "dvdsimple://" + at("gone.iso") + "@1:01-", "no disc at " + at("gone.iso")},
    };
    for (const auto& [drive, location, logged] : cases) {
        SCOPED_TRACE(location);
        ServerProcess server({"--root", dir.path(), "--cd-drive", drive});
        ASSERT_TRUE(server.start()) << server.error();
        EXPECT_EQ(test::sendCommand(server.commandPort(), "VLC|PLY|" + location + "|0|1"), "+nok");
        EXPECT_TRUE(StreamClient(server.streamPort()).notFound());
        const std::string log = server.log();
        EXPECT_NE(log.find("cannot play \"" + location + "\": " + logged), std::string::npos) << log;
        EXPECT_TRUE(test::childrenOf(server.pid()).empty()) << "no transcoder";
        EXPECT_EQ(test::sendCommand(server.commandPort(), "RQS|SPO|NO"), std::to_string(server.streamPort()))
            << "and the server goes on";
    }
}

}  // namespace
}  // namespace oxle::server
