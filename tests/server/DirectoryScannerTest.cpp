#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>

#include "server/DirectoryScanner.h"
#include "server/Listing.h"
#include "tests/server/TestSupport.h"

namespace oxle::server {
namespace {

using test::TempDir;

std::vector<std::string> names(const std::vector<ListEntry>& entries) {
    std::vector<std::string> result;
    for (const ListEntry& entry : entries) result.push_back(entry.name);
    return result;
}

class DirectoryScannerTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = base.subdir("share");
        base.subdir("share/Zeta");
        base.subdir("share/alpha");
        base.subdir("share/.hidden_dir");
        base.file("share/b.avi", "0123456789");
        base.file("share/A.mp3", "x");
        base.file("share/.hidden.avi", "x");
        base.file("share/notes.txt", "x");
        base.file("share/alpha/inner.mkv", "x");
        base.file("share/latin1 M\xE4rchen.avi", "x");
        base.file("outside.avi", "x");
        ASSERT_EQ(::symlink((base.path() + "/outside.avi").c_str(), (root + "/escape.avi").c_str()), 0);
        ASSERT_EQ(::symlink(base.path().c_str(), (root + "/escape_dir").c_str()), 0);
        ASSERT_EQ(::symlink((root + "/alpha").c_str(), (root + "/shortcut").c_str()), 0);
        std::string error;
        ASSERT_TRUE(PathGuard::create({root, media.path()}, guard, error)) << error;
    }

    TempDir base;
    TempDir media;
    std::string root;
    PathGuard guard;
};

TEST_F(DirectoryScannerTest, ListsDirectoriesAndPlayableFilesInTheBoxsOrder) {
    DirectoryScanner scanner(guard);
    std::vector<ListEntry> entries;
    std::string why;
    ASSERT_TRUE(scanner.listEntries(root, entries, why)) << why;
    EXPECT_EQ(names(entries), (std::vector<std::string>{"", "Zeta", "alpha", "shortcut", "A.mp3", "b.avi"}));
    EXPECT_EQ(entries[0].kind, ListEntry::Kind::Parent);
    EXPECT_EQ(entries[0].path, root + "/..");
    EXPECT_EQ(entries[3].kind, ListEntry::Kind::Directory) << "a link inside the roots is followed";
    EXPECT_EQ(entries[5].path, root + "/b.avi");
    EXPECT_EQ(entries[5].size, 10u);
    EXPECT_EQ(entries[5].pic, "film.png");
    EXPECT_EQ(entries[4].pic, "music.png");
    EXPECT_EQ(entries[5].date.size(), std::string("YYYY-MM-DD HH:MM").size());
}

TEST_F(DirectoryScannerTest, ParentPathsClimbAndStopAtTheRootsView) {
    DirectoryScanner scanner(guard);
    std::vector<ListEntry> entries;
    std::string why;
    ASSERT_TRUE(scanner.listEntries(root + "/alpha/..", entries, why)) << why;
    EXPECT_EQ(entries[0].path, root + "/..");
    EXPECT_EQ(entries.size(), 6u);

    for (const std::string& path : {root + "/..", std::string("c:/.."), std::string("c:/../..")}) {
        ASSERT_TRUE(scanner.listEntries(path, entries, why)) << path;
        EXPECT_EQ(names(entries), (std::vector<std::string>{"", root, media.path()})) << path;
        EXPECT_EQ(entries[1].path, root);
    }
}

TEST_F(DirectoryScannerTest, RefusesPathsOutsideWithAnEmptyDocument) {
    DirectoryScanner scanner(guard);
    const std::string refused[] = {base.path(), root + "/../..", root + "/escape_dir",
                                   "/etc",      "relative",      root + "/missing"};
    for (const std::string& path : refused) {
        std::vector<ListEntry> entries;
        std::string why;
        EXPECT_FALSE(scanner.listEntries(path, entries, why)) << path;
        EXPECT_EQ(scanner.listDocument(path), Listing::emptyDocument()) << path;
    }
}

TEST_F(DirectoryScannerTest, SizesOverFourGibibytesAreWrittenInFull) {
    const std::string big = root + "/big.mkv";
    const int fd = ::open(big.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    constexpr off_t kSize = 5LL * 1024 * 1024 * 1024 + 7;
    ASSERT_EQ(::ftruncate(fd, kSize), 0);
    ::close(fd);
    DirectoryScanner scanner(guard);
    const std::string document = scanner.listDocument(root);
    EXPECT_NE(document.find("name=\"big.mkv\" size=\"5368709127\""), std::string::npos) << document;
}

TEST_F(DirectoryScannerTest, FindsNeighboursAmongPlayableFiles) {
    DirectoryScanner scanner(guard);
    std::string found;
    ASSERT_TRUE(scanner.neighbour(root + "/A.mp3", 1, found));
    EXPECT_EQ(found, root + "/b.avi");
    ASSERT_TRUE(scanner.neighbour(root + "/b.avi", -1, found));
    EXPECT_EQ(found, root + "/A.mp3");
    EXPECT_FALSE(scanner.neighbour(root + "/b.avi", 1, found)) << "the last file has no next";
    EXPECT_FALSE(scanner.neighbour(root + "/A.mp3", -1, found)) << "the first file has no previous";
}

}  // namespace
}  // namespace oxle::server
