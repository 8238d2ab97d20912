// The texts the box reads: list documents, the play status, file information, file kinds.
#include <expat.h>
#include <gtest/gtest.h>

#include <map>

#include "server/FileInfo.h"
#include "server/Listing.h"
#include "server/MediaTypes.h"
#include "server/PlayStatus.h"
#include "server/Probe.h"

namespace oxle::server {
namespace {

using Attributes = std::map<std::string, std::string>;

// Reads a document as the box's XML reader would: false when it is not well-formed.
// Keeps the attributes of the root's children, and the text of each element by its name,
// or by name[attribute "name"] where it has one.
struct BoxReader {
    int depth = 0;
    std::string key;
    std::vector<Attributes> entries;
    std::map<std::string, std::string> texts;

    static void start(void* self, const XML_Char* name, const XML_Char** attributes) {
        auto* r = static_cast<BoxReader*>(self);
        Attributes all;
        for (int i = 0; attributes[i] != nullptr; i += 2) all[attributes[i]] = attributes[i + 1];
        if (++r->depth == 2) r->entries.push_back(all);
        r->key = all.count("name") != 0 ? std::string(name) + "[" + all["name"] + "]" : std::string(name);
    }
    static void end(void* self, const XML_Char*) {
        --static_cast<BoxReader*>(self)->depth;
        static_cast<BoxReader*>(self)->key.clear();
    }
    static void text(void* self, const XML_Char* s, int length) {
        auto* r = static_cast<BoxReader*>(self);
        if (!r->key.empty()) r->texts[r->key].append(s, static_cast<std::size_t>(length));
    }
    bool read(const std::string& document) {
        XML_Parser parser = XML_ParserCreate(nullptr);
        XML_SetUserData(parser, this);
        XML_SetElementHandler(parser, &BoxReader::start, &BoxReader::end);
        XML_SetCharacterDataHandler(parser, &BoxReader::text);
        const bool ok = XML_Parse(parser, document.data(), static_cast<int>(document.size()), 1) == XML_STATUS_OK;
        XML_ParserFree(parser);
        return ok;
    }
};

TEST(DocumentTest, ListingCarriesWhatTheBoxReadsAndEscapesEveryName) {
    using Kind = ListEntry::Kind;
    std::vector<ListEntry> entries = {
        {Kind::Parent, "", "/m/..", 0, "", ""},
        {Kind::Directory, "Serien", "/m/Serien", 0, "", ""},
        {Kind::File, "big.mkv", "/m/big.mkv", 5368709120ULL, "film.png", "2024-01-02 03:04"}};
    BoxReader reader;
    ASSERT_TRUE(reader.read(Listing::document(entries)));
    EXPECT_EQ(reader.entries,
              (std::vector<Attributes>{{{"type", "directory"}, {"name", ".."}, {"path", "/m/.."}},
                                       {{"type", "directory"}, {"name", "Serien"}, {"path", "/m/Serien"}},
                                       {{"type", "file"},
                                        {"name", "big.mkv"},
                                        {"path", "/m/big.mkv"},
                                        {"size", "5368709120"},
                                        {"pic", "film.png"},
                                        {"date", "2024-01-02 03:04"}}}));

    const std::string names[] = {"Tom & Jerry <1>.avi", "\"quoted\" 'single'.mp4", "M\xC3\xA4rchen \xE2\x80\x93 2.mkv",
                                 "tab\there\nline\rend.avi", "&amp; literally.avi"};
    entries.clear();
    for (const std::string& name : names) entries.push_back({Kind::File, name, "/m/" + name, 1, "film.png", ""});
    reader = BoxReader();
    ASSERT_TRUE(reader.read(Listing::document(entries)));
    ASSERT_EQ(reader.entries.size(), std::size(names));
    for (std::size_t i = 0; i < std::size(names); ++i) {
        EXPECT_EQ(reader.entries[i]["name"], names[i]);
        EXPECT_EQ(reader.entries[i]["path"], "/m/" + names[i]);
    }

    reader = BoxReader();
    ASSERT_TRUE(reader.read(Listing::emptyDocument()));
    EXPECT_TRUE(reader.entries.empty());
}

// A name that is not UTF-8 text would make the whole document unreadable to the box.
TEST(DocumentTest, OnlyValidUtf8NamesCanBeCarried) {
    const std::pair<std::string, bool> cases[] = {
        {"plain.avi", true},
        {"M\xC3\xA4rchen.avi", true},
        {"\xF0\x9F\x8E\xAC film.mp4", true},
        {"latin1 M\xE4rchen.avi", false},
        {"overlong \xC0\xAF.avi", false},
        {"surrogate \xED\xA0\x80.avi", false},
        {"beyond \xF4\x90\x80\x80.avi", false},
        {"noncharacter \xEF\xBF\xBE.avi", false},
        {"cut \xE2\x80", false},
        {"bell\x07.avi", false},
    };
    for (const auto& [name, ok] : cases) EXPECT_EQ(Listing::representable(name), ok) << name;
}

TEST(DocumentTest, PlayStatusCarriesTimeLengthPositionCodecAndResolution) {
    PlayStatus status;
    status.time = 600;
    status.length = 5400;
    status.position = 11;
    status.codec = "H.264 <&>";
    status.resolution = "1280x720";
    BoxReader reader;
    ASSERT_TRUE(reader.read(status.document())) << status.document();
    EXPECT_EQ(reader.texts["time"], "600");
    EXPECT_EQ(reader.texts["length"], "5400");
    EXPECT_EQ(reader.texts["position"], "11");
    EXPECT_EQ(reader.texts["info[Codec]"], "H.264 <&>");
    EXPECT_EQ(reader.texts["info[Aufl\xC3\xB6sung]"], "1280x720");
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
    ASSERT_NE(info.firstVideo(), nullptr);
    EXPECT_EQ(info.firstVideo()->codec, "h264");
    for (const char* text : {"", "not json", "[1,2]", "{}", R"({"streams": []})", R"({"streams": 5})"}) {
        EXPECT_FALSE(Probe::parseJson(text, info, error)) << text;
    }

    const std::pair<double, const char*> durations[] = {{-3, "0:00:00"},   {0, "0:00:00"},    {59.4, "0:00:59"},
                                                        {59.6, "0:01:00"}, {3599, "0:59:59"}, {3600, "1:00:00"}};
    for (const auto& [seconds, text] : durations) EXPECT_EQ(FileInfo::duration(seconds), text) << seconds;
}

TEST(DocumentTest, FileKindsFollowTheExtensionInAnyCase) {
    const std::pair<const char*, const char*> listed[] = {
        {"a.avi", "film.png"}, {"a.part1.MKV", "film.png"}, {"a.Mp3", "music.png"},
        {"a.vob", "dvd.png"},  {"a.avs", "default.png"},
    };
    for (const auto& [name, picture] : listed) {
        ASSERT_TRUE(MediaTypes::playable(name)) << name;
        EXPECT_STREQ(MediaTypes::pictureFor(MediaTypes::kindOf(name)), picture) << name;
    }
    for (const char* name : {"readme.txt", "avi", "a.", "a.avi.part", "noextension"}) {
        EXPECT_FALSE(MediaTypes::playable(name)) << name;
    }
}

}  // namespace
}  // namespace oxle::server
