#include <gtest/gtest.h>

#include "server/MediaTypes.h"

namespace oxle::server {
namespace {

TEST(MediaTypesTest, ClassifiesByExtensionIgnoringCase) {
    const std::pair<const char*, const char*> cases[] = {
        {"a.avi", "film.png"},   {"a.DivX", "film.png"}, {"a.xvid", "film.png"},   {"a.mpg", "film.png"},
        {"a.MPEG", "film.png"},  {"a.mp2v", "film.png"}, {"a.dat", "film.png"},    {"a.asf", "film.png"},
        {"a.wmv", "film.png"},   {"a.ts", "film.png"},   {"a.mp4", "film.png"},    {"a.mkv", "film.png"},
        {"a.mov", "film.png"},   {"a.m4v", "film.png"},  {"a.webm", "film.png"},   {"a.m2ts", "film.png"},
        {"a.mp3", "music.png"},  {"a.OGG", "music.png"}, {"a.wav", "music.png"},   {"a.wma", "music.png"},
        {"a.flac", "music.png"}, {"a.m4a", "music.png"}, {"a.aac", "music.png"},   {"a.vob", "dvd.png"},
        {"a.iso", "dvd.png"},    {"a.BIN", "dvd.png"},   {"a.avs", "default.png"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        ASSERT_TRUE(MediaTypes::playable(c.first));
        EXPECT_STREQ(MediaTypes::pictureFor(MediaTypes::kindOf(c.first)), c.second);
    }
}

TEST(MediaTypesTest, LeavesOutOtherFiles) {
    for (const char* name : {"readme.txt", "avi", "a.", "a.avi.part", "cover.jpg", "noextension"}) {
        EXPECT_FALSE(MediaTypes::playable(name)) << name;
    }
}

TEST(MediaTypesTest, ExtensionIsTheUpperCasedTextAfterTheLastDot) {
    EXPECT_EQ(MediaTypes::extensionOf("film.part1.AvI"), "AVI");
    EXPECT_EQ(MediaTypes::extensionOf("film"), "");
    EXPECT_EQ(MediaTypes::extensionOf("film."), "");
}

}  // namespace
}  // namespace oxle::server
