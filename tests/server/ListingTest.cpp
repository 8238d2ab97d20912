#include <expat.h>
#include <gtest/gtest.h>

#include <map>

#include "server/Listing.h"

namespace oxle::server {
namespace {

using Attributes = std::map<std::string, std::string>;

// Reads a list document the way the box does: each child of the root is one entry,
// described by its attributes. Returns false when the text is not well-formed XML.
struct BoxReader {
    int depth = 0;
    std::vector<Attributes> entries;

    static void start(void* self, const XML_Char* name, const XML_Char** attributes) {
        auto* reader = static_cast<BoxReader*>(self);
        (void)name;
        if (reader->depth == 1) {
            Attributes entry;
            for (int i = 0; attributes[i] != nullptr; i += 2) entry[attributes[i]] = attributes[i + 1];
            reader->entries.push_back(entry);
        }
        ++reader->depth;
    }
    static void end(void* self, const XML_Char*) { --static_cast<BoxReader*>(self)->depth; }

    bool read(const std::string& document) {
        XML_Parser parser = XML_ParserCreate(nullptr);
        XML_SetUserData(parser, this);
        XML_SetElementHandler(parser, &BoxReader::start, &BoxReader::end);
        const bool ok = XML_Parse(parser, document.data(), static_cast<int>(document.size()), 1) == XML_STATUS_OK;
        XML_ParserFree(parser);
        return ok;
    }
};

ListEntry file(const std::string& name, std::uint64_t size) {
    ListEntry entry;
    entry.kind = ListEntry::Kind::File;
    entry.name = name;
    entry.path = "/media/" + name;
    entry.size = size;
    entry.pic = "film.png";
    entry.date = "2024-01-02 03:04";
    return entry;
}

TEST(ListingTest, DocumentCarriesWhatTheBoxReads) {
    ListEntry parent;
    parent.kind = ListEntry::Kind::Parent;
    parent.path = "/media/..";
    ListEntry dir;
    dir.kind = ListEntry::Kind::Directory;
    dir.name = "Serien";
    dir.path = "/media/Serien";
    const std::vector<ListEntry> entries = {parent, dir, file("big.mkv", 5368709120ULL)};

    const std::string document = Listing::document(entries);
    EXPECT_EQ(document.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u);
    BoxReader reader;
    ASSERT_TRUE(reader.read(document)) << document;
    ASSERT_EQ(reader.entries.size(), 3u);
    EXPECT_EQ(reader.entries[0], (Attributes{{"type", "directory"}, {"name", ".."}, {"path", "/media/.."}}));
    EXPECT_EQ(reader.entries[1], (Attributes{{"type", "directory"}, {"name", "Serien"}, {"path", "/media/Serien"}}));
    EXPECT_EQ(reader.entries[2], (Attributes{{"type", "file"},
                                             {"name", "big.mkv"},
                                             {"path", "/media/big.mkv"},
                                             {"size", "5368709120"},
                                             {"pic", "film.png"},
                                             {"date", "2024-01-02 03:04"}}));
}

TEST(ListingTest, EscapedNamesComeBackUnchanged) {
    const std::string names[] = {
        "Tom & Jerry <1>.avi", "\"quoted\" 'single'.mp4", "M\xC3\xA4rchen \xE2\x80\x93 Teil 2.mkv",
        "tab\there.avi",       "line\nbreak.avi",         "a|b|c.ts",
        "&amp; literally.avi",
    };
    std::vector<ListEntry> entries;
    for (const std::string& name : names) entries.push_back(file(name, 1));
    BoxReader reader;
    ASSERT_TRUE(reader.read(Listing::document(entries)));
    ASSERT_EQ(reader.entries.size(), std::size(names));
    for (std::size_t i = 0; i < std::size(names); ++i) {
        EXPECT_EQ(reader.entries[i]["name"], names[i]);
        EXPECT_EQ(reader.entries[i]["path"], "/media/" + names[i]);
    }
}

TEST(ListingTest, EmptyDocumentIsWellFormedAndHasNoEntries) {
    BoxReader reader;
    ASSERT_TRUE(reader.read(Listing::emptyDocument()));
    EXPECT_TRUE(reader.entries.empty());
}

TEST(ListingTest, TellsWhichNamesADocumentCanCarry) {
    EXPECT_TRUE(Listing::representable("plain.avi"));
    EXPECT_TRUE(Listing::representable("M\xC3\xA4rchen.avi"));
    EXPECT_TRUE(Listing::representable("\xF0\x9F\x8E\xAC film.mp4"));
    EXPECT_FALSE(Listing::representable("latin1 M\xE4rchen.avi"));
    EXPECT_FALSE(Listing::representable("overlong \xC0\xAF.avi"));
    EXPECT_FALSE(Listing::representable("surrogate \xED\xA0\x80.avi"));
    EXPECT_FALSE(Listing::representable("cut \xE2\x80"));
    EXPECT_FALSE(Listing::representable(std::string("bell\x07.avi")));
}

TEST(ListingTest, OrderIsKindThenUnsignedBytes) {
    ListEntry parent;
    parent.kind = ListEntry::Kind::Parent;
    ListEntry zeta;
    zeta.kind = ListEntry::Kind::Directory;
    zeta.name = "Zeta";
    ListEntry alpha = zeta;
    alpha.name = "alpha";
    ListEntry umlaut = zeta;
    umlaut.name = "\xC3\x84rger";
    std::vector<ListEntry> entries = {file("b.avi", 1), file("A.avi", 1), umlaut, alpha, zeta, parent};
    std::sort(entries.begin(), entries.end(), ListEntry::before);
    std::vector<std::string> names;
    for (const ListEntry& entry : entries) names.push_back(entry.name);
    EXPECT_EQ(names, (std::vector<std::string>{"", "Zeta", "alpha", "\xC3\x84rger", "A.avi", "b.avi"}));
}

TEST(ListingTest, DateIsLocalMinutes) {
    std::tm local{};
    local.tm_year = 2023 - 1900;
    local.tm_mon = 11;
    local.tm_mday = 24;
    local.tm_hour = 18;
    local.tm_min = 5;
    local.tm_isdst = -1;
    EXPECT_EQ(Listing::formatDate(std::mktime(&local)), "2023-12-24 18:05");
}

}  // namespace
}  // namespace oxle::server
