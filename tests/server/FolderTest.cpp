// Listings come from the file system and never leave the shared roots.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "TempDir.h"
#include "UniqueFd.h"
#include "server/DirectoryScanner.h"
#include "server/Listing.h"

namespace oxle::server {
namespace {

// share/ is the root; its sibling share-evil and the secret beside it are outside.
class FolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(base.ok() && other.ok());
        root = base.subdir("share");
        for (const char* dir : {"share/Zeta", "share/alpha", "share/\xC3\x84rger", "share/.hidden_dir", "share-evil"}) {
            base.subdir(dir);
        }
        base.file("share/b.avi", "0123456789");
        for (const char* file : {"share/A.mp3", "share/.hidden.avi", "share/notes.txt", "share/alpha/inner.mkv",
                                 "share/latin1 M\xE4rchen.avi", "secret.avi", "share-evil/x.avi"}) {
            base.file(file, "x");
        }
        ASSERT_EQ(::symlink((base.path() + "/secret.avi").c_str(), (root + "/escape.avi").c_str()), 0);
        ASSERT_EQ(::symlink(base.path().c_str(), (root + "/escape_dir").c_str()), 0);
        ASSERT_EQ(::symlink((root + "/alpha").c_str(), (root + "/shortcut").c_str()), 0);
        std::string error;
        ASSERT_TRUE(PathGuard::create({root, other.path()}, guard, error)) << error;
    }

    std::vector<std::string> names(const std::string& path) {
        std::vector<ListEntry> entries;
        std::string why;
        EXPECT_TRUE(DirectoryScanner(guard).listEntries(path, entries, why)) << path << ": " << why;
        std::vector<std::string> result;
        for (const ListEntry& entry : entries) result.push_back(entry.name);
        return result;
    }

    TempDir base;
    TempDir other;
    std::string root;
    PathGuard guard;
};

TEST_F(FolderTest, OnlyPathsThatResolveInsideARootAreAccepted) {
    const std::pair<std::string, bool> cases[] = {
        {root, true},
        {root + "/alpha/inner.mkv", true},
        {root + "/shortcut/inner.mkv", true},
        {other.path(), true},
        {root + "/../..", false},
        {root + "/../share-evil/x.avi", false},
        {root + "/escape.avi", false},
        {root + "/escape_dir", false},
        {"share/b.avi", false},
        {root + "/missing.avi", false},
    };
    for (const auto& [path, accepted] : cases) {
        std::string canonical;
        std::string why;
        EXPECT_EQ(guard.resolve(path, canonical, why), accepted) << path << ": " << why;
        if (!accepted) {
            EXPECT_EQ(DirectoryScanner(guard).listDocument(path), Listing::emptyDocument()) << path;
        }
    }

    PathGuard refused;
    std::string error;
    EXPECT_FALSE(PathGuard::create({"/nonexistent/oxle"}, refused, error));
    EXPECT_FALSE(PathGuard::create({base.path() + "/secret.avi"}, refused, error));
    EXPECT_FALSE(PathGuard::create({}, refused, error));
}

TEST_F(FolderTest, ListsFoldersThenPlayableFilesInTheBoxsOrder) {
    std::tm local{};
    local.tm_year = 2023 - 1900;
    local.tm_mon = 11;
    local.tm_mday = 24;
    local.tm_hour = 8;
    local.tm_min = 5;
    local.tm_isdst = -1;
    const timespec times[] = {{std::mktime(&local), 0}, {std::mktime(&local), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (root + "/b.avi").c_str(), times, 0), 0);
    // Hidden entries, other files, names that are not UTF-8 and links out are left out;
    // names compare as unsigned bytes.
    EXPECT_EQ(names(root),
              (std::vector<std::string>{"", "Zeta", "alpha", "shortcut", "\xC3\x84rger", "A.mp3", "b.avi"}));
    std::vector<ListEntry> entries;
    std::string why;
    ASSERT_TRUE(DirectoryScanner(guard).listEntries(root, entries, why));
    EXPECT_EQ(entries[0].kind, ListEntry::Kind::Parent);
    EXPECT_EQ(entries[0].path, root + "/..");
    EXPECT_EQ(entries[3].kind, ListEntry::Kind::Directory) << "a link inside the roots is followed";
    EXPECT_EQ(entries[5].pic, "music.png");
    EXPECT_EQ(entries[6].path, root + "/b.avi");
    EXPECT_EQ(entries[6].size, 10u);
    EXPECT_EQ(entries[6].date, "2023-12-24 08:05") << "local time, to the minute";

    // Sizes past 4 GiB are written whole.
    const UniqueFd big(::open((root + "/big.mkv").c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
    ASSERT_EQ(::ftruncate(big.get(), 5LL * 1024 * 1024 * 1024 + 7), 0);
    EXPECT_NE(DirectoryScanner(guard).listDocument(root).find("name=\"big.mkv\" size=\"5368709127\""),
              std::string::npos);
}

// Above a root lies the box's "Directories" view of every root, never the folder holding it.
TEST_F(FolderTest, ParentsClimbToTheViewOfAllRoots) {
    const std::vector<std::string> allRoots = {"", root, other.path()};
    EXPECT_EQ(names(root + "/alpha/..").size(), 7u);
    for (const std::string& path : {root + "/..", std::string("c:/.."), std::string("C:/../..")}) {
        EXPECT_EQ(names(path), allRoots) << path;
    }
    for (const char* path : {"c:/../", "c:/../../.."}) EXPECT_TRUE(PathGuard::isRootsView(path)) << path;
    for (const char* path : {"c:/", "c:/../x", "/c:/..", "d:/..", "c:/...."}) {
        EXPECT_FALSE(PathGuard::isRootsView(path)) << path;
    }
}

}  // namespace
}  // namespace oxle::server
