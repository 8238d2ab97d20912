// Disc playback: locations, a DVD title's sectors, and sessions through the real server.
#include <gtest/gtest.h>

#include <unistd.h>
#include <array>

#include <cstdlib>
#include <memory>
#include <tuple>

#include "ServerProcess.h"
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
const Rgb kRed{255, 0, 0}, kGreen{0, 128, 0}, kBlue{0, 0, 255};

// Whether frame `frame` of dir's `media` (an MPEG stream), shrunk to one pixel, has about that colour.
bool looks(const TempDir& dir, const std::string& media, int frame, const Rgb& colour) {
    constexpr int kTolerance = 40;
    ChildProcess ffmpeg;
    std::string why;
    int status = 0;
    EXPECT_TRUE(
        ffmpeg.start(ChildProcess::Launch({"ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-i", dir / media,
                                           "-vf", "select=eq(n\\," + std::to_string(frame) + "),scale=1:1", "-frames:v",
                                           "1", "-f", "rawvideo", "-pix_fmt", "rgb24", dir / (media + ".rgb")}),
                     why) &&
        ffmpeg.waitFor(kToolLimitMs, status) && status == 0)
        << why << ChildProcess::describeStatus(status);
    const std::string pixel = dir.read(media + ".rgb");
    for (std::size_t i = 0; i < colour.size(); ++i) {
        if (pixel.size() != colour.size() || std::abs(static_cast<unsigned char>(pixel[i]) - colour[i]) > kTolerance) {
            return false;
        }
    }
    return true;
}

// The kit's DVD as folder, image and scrambled copy, its VCD, and a damaged image; once a run.
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
            std::string bytes = discs->read(std::string("dvd/VIDEO_TS/") + name);
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
        {"dvdsimple:///dev/sr0@1:02-", "", false, {}, 0, 0},            // none configured
        {"dvdsimple:///m/../etc@1:01-", "/m/../etc", false, {}, 0, 0},  // '..', even when configured
        {"dvdsimple:///dev/sr0", "/dev/sr0", false, {}, 0, 0},
        {"dvdsimple:///dev/sr0@0:01-", "/dev/sr0", false, {}, 0, 0},
        {"dvdsimple:///dev/sr0@1:-", "/dev/sr0", false, {}, 0, 0},
        {"dvdsimple:///dev/sr0@1-", "/dev/sr0", false, {}, 0, 0},
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
            dir.file("chapter.vob", std::string(bytes.begin(), bytes.end()));
            // The image's and the VIDEO_TS folder's readers read what the folder's reader reads.
            EXPECT_TRUE(!previous.empty() || looks(dir, "chapter.vob", kFrameInto, colour)) << "chapter " << chapter;
            all += std::string(bytes.begin(), bytes.end());
        }
        EXPECT_TRUE(previous.empty() || all == previous);
        previous = all;
    }
}

TEST_F(DiscTest, NextAndPreviousStepThroughChaptersAndStopAtTheEnds) {
    Options options = test::RunningServer::loopback(dir.path());
    options.cdDrive = at("dvd.iso");
    test::RunningServer server(options);
    // The play status counts whole seconds from where the chapter's cells begin.
    DiscTitle title;
    std::string why;
    ASSERT_TRUE(Disc::open(DiscLocation::Kind::Dvd, at("dvd.iso"), 1, title, why)) << why;
    const auto startOf = [&](int chapter) {
        DiscTitle::Start start;
        return title.chapterStart(chapter, start) ? static_cast<int>(start.seconds) : -1;
    };
    const std::string information = server.command("RQS|NFO|dvdsimple://" + at("dvd.iso") + "@1:01-");
    for (const char* part :
         {"Title 1: 3 chapters, 0:00:06\nChapter 1: from 0:00:00, 0:00:02\n",
          "Audio 1: AC-3, 2 channels, language en\nAudio 2: MPEG Audio Layer 2, 2 channels, language de\n"}) {
        EXPECT_NE(information.find(part), std::string::npos) << information;
    }
    ASSERT_EQ(server.command("VLC|PLY|dvdsimple://" + at("dvd.iso") + "@1:01-|0|1"), "+ok");
    auto transcoders = test::childrenOf(::getpid());
    ASSERT_EQ(transcoders.size(), 1u);
    // Nobody fetches the stream, so the play clock stands at each chapter's start.
    const std::tuple<const char*, const char*, int> steps[] = {
        {"VLC|PRV|NO", "+nok", 1}, {"VLC|NXT|NO", "+ok", 2}, {"VLC|NXT|NO", "+ok", 3},
        {"VLC|NXT|NO", "+nok", 3}, {"VLC|PRV|NO", "+ok", 2}, {"VLC|REW|1", "+ok", 1},
    };
    for (const auto& [step, reply, chapter] : steps) {
        EXPECT_EQ(server.command(step), reply) << step;
        EXPECT_EQ(server.status("time"), startOf(chapter)) << step;
        const auto now = test::childrenOf(::getpid());
        ASSERT_EQ(now.size(), 1u) << step;
        EXPECT_EQ(now != transcoders, std::string(reply) == "+ok") << step << " restarts the transcoder";
        transcoders = now;
    }
    StreamClient client(server.streamPort());
    ASSERT_TRUE(client.streaming());
    ASSERT_TRUE(client.readToEnd());
    dir.file("got.ts", client.data().substr(std::string(HttpRequest::kStreamHeader).size()));
    EXPECT_TRUE(looks(dir, "got.ts", 0, kRed));
}

TEST_F(DiscTest, RefusedDiscsAnswerNokAnd404WithOneLogLine) {
    const std::string dvd = at("dvd");
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {dvd, "dvdsimple://" + dvd + "@1:04-",
         "chapter 4 does not exist: title 1 has 3 chapters (the disc has 1 title)"},
        {dvd, "dvdsimple://" + dvd + "@2:01-", "title 2 does not exist: the disc has 1 title"},
        {dvd, "dvdsimple://" + dvd + "@1:01-@1:02-", "a disc location needs exactly one '@'"},
        {dvd, "vcdx://" + dvd + "@1:01-", "no (S)VCD in " + dvd},
        {at("vcd.cue"), "vcdx://" + at("vcd.cue") + "@1:03-", "entry 3 does not exist: the disc has 2 entries"},
        {at("scrambled"), "dvdsimple://" + at("scrambled") + "@1:01-", "the disc is encrypted"},
        {at("damaged.iso"), "dvdsimple://" + at("damaged.iso") + "@1:01-", "neither a DVD nor an ISO 9660 image"},
        {at("gone.iso"), "dvdsimple://" + at("gone.iso") + "@1:01-", "no disc at " + at("gone.iso")},
    };
    std::unique_ptr<ServerProcess> running;
    std::string runningDrive;
    for (const auto& [drive, location, logged] : cases) {
        SCOPED_TRACE(location);
        // One server a drive: a refusal leaves it as it was.
        if (drive != runningDrive) {
            running =
                std::make_unique<ServerProcess>(std::vector<std::string>{"--root", dir.path(), "--cd-drive", drive});
            ASSERT_TRUE(running->start()) << running->error();
            runningDrive = drive;
        }
        ServerProcess& server = *running;
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
