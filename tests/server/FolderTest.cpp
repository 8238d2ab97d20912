// Listings come from the file system and never leave the shared roots.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <functional>
#include <memory>
#include <thread>

#include "TempDir.h"
#include "server/DirectoryScanner.h"
#include "server/Listing.h"
#include "server/ListingCache.h"

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
        for (const char* file : {"share/A.mp3", "share/c.part1.MKV", "share/d.vob", "share/e.avs", "share/.hidden.avi",
                                 "share/notes.txt", "share/avi", "share/f.avi.part", "share/alpha/inner.mkv",
                                 "share/latin1 M\xE4rchen.avi", "secret.avi", "share-evil/x.avi"}) {
            base.file(file, "x");
        }
        ASSERT_EQ(::symlink((base.path() + "/secret.avi").c_str(), (root + "/escape.avi").c_str()), 0);
        ASSERT_EQ(::symlink(base.path().c_str(), (root + "/escape_dir").c_str()), 0);
        ASSERT_EQ(::symlink((root + "/alpha").c_str(), (root + "/shortcut").c_str()), 0);
        std::string error;
        ASSERT_TRUE(PathGuard::create({root, other.path()}, guard, error)) << error;
    }
    std::vector<ListEntry> list(const std::string& path) {
        std::vector<ListEntry> entries;
        std::string why;
        EXPECT_TRUE(DirectoryScanner(guard).listEntries(path, entries, why)) << path << ": " << why;
        return entries;
    }
    // The names listed, and the picture of each file.
    std::vector<std::string> names(const std::string& path) {
        std::vector<std::string> result;
        for (const ListEntry& e : list(path)) result.push_back(e.name + (e.pic.empty() ? "" : " " + e.pic));
        return result;
    }
    TempDir base;
    TempDir other;
    std::string root;
    PathGuard guard;
};

TEST_F(FolderTest, OnlyPathsThatResolveInsideARootAreAccepted) {
    std::string canonical;
    std::string why;
    const std::pair<const char*, bool> below[] = {{"", true},
                                                  {"/alpha/inner.mkv", true},
                                                  {"/shortcut/inner.mkv", true},
                                                  {"/../..", false},
                                                  {"/escape.avi", false},
                                                  {"/escape_dir", false},
                                                  {"/missing.avi", false},
                                                  {"/../share-evil/x.avi", false}};
    for (const auto& [path, accepted] : below) {
        EXPECT_EQ(guard.resolve(root + path, canonical, why), accepted) << path << ": " << why;
        EXPECT_TRUE(accepted || DirectoryScanner(guard).listDocument(root + path) == Listing::emptyDocument()) << path;
    }
    EXPECT_TRUE(guard.resolve(other.path(), canonical, why)) << "the second root";
    EXPECT_FALSE(guard.resolve("share/b.avi", canonical, why)) << "a relative path";
    PathGuard refused;
    std::string error;
    for (const auto& roots :
         std::vector<std::vector<std::string>>{{"/nonexistent/oxle"}, {base.path() + "/secret.avi"}, {}}) {
        EXPECT_FALSE(PathGuard::create(roots, refused, error));
    }
}

TEST_F(FolderTest, ListsFoldersThenPlayableFilesInTheBoxsOrder) {
    std::tm local{};
    ASSERT_NE(::strptime("2023-12-24 08:05", "%Y-%m-%d %H:%M", &local), nullptr);
    local.tm_isdst = -1;
    const timespec times[] = {{std::mktime(&local), 0}, {std::mktime(&local), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (root + "/b.avi").c_str(), times, 0), 0);
    // Hidden entries, other files, names that are not UTF-8 and links out are left out;
    // names compare as unsigned bytes; the extension, in any case, gives the picture.
    EXPECT_EQ(names(root), (std::vector<std::string>{"", "Zeta", "alpha", "shortcut", "\xC3\x84rger", "A.mp3 music.png",
                                                     "b.avi film.png", "c.part1.MKV film.png", "d.vob dvd.png",
                                                     "e.avs default.png"}));
    const std::vector<ListEntry> entries = list(root);
    ASSERT_EQ(entries.size(), 10u);
    EXPECT_EQ(entries[0].kind, ListEntry::Kind::Parent);
    EXPECT_EQ(entries[0].path, root + "/..");
    EXPECT_EQ(entries[3].kind, ListEntry::Kind::Directory) << "a link inside the roots is followed";
    EXPECT_EQ(entries[6].path, root + "/b.avi");
    EXPECT_EQ(entries[6].size, 10u);
    EXPECT_EQ(entries[6].date, "2023-12-24 08:05") << "local time, to the minute";
}

void setFolderTime(const std::string& dir, const timespec& when) {
    const timespec times[] = {when, when};
    ASSERT_EQ(::utimensat(AT_FDCWD, dir.c_str(), times, 0), 0);
}
timespec secondsAgo(int seconds) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    now.tv_sec -= seconds;
    return now;
}
timespec folderTime(const std::string& dir) {
    struct stat info {};
    ::stat(dir.c_str(), &info);
    return info.st_mtim;
}

// A folder changed just now is never kept: its next change might not move its time.
TEST_F(FolderTest, AListingIsReadAgainWhenItsFolderChanges) {
    const std::string dir = base.subdir("share/shows");
    const std::string twin = base.subdir("share/twin");
    base.file("share/shows/one.avi", "x");
    base.file("share/twin/other.avi", "x");
    DirectoryScanner scanner(guard);
    const auto listed = [&](const std::string& path, const char* name) {
        return scanner.listDocument(path).find(std::string("name=\"") + name + "\"") != std::string::npos;
    };
    const timespec settled = secondsAgo(60);
    const timespec alsoSettled = secondsAgo(50);
    struct Step {
        const char* what;
        std::function<void()> change;
        std::string folder;
        const char* name;
        bool shown;
    };
    const Step steps[] = {
        {"first listing", [&] { setFolderTime(dir, settled); }, dir, "one.avi", true},
        {"a file added, the folder's time put back: the kept listing",
         [&] {
             base.file("share/shows/two.avi", "x");
             setFolderTime(dir, settled);
         },
         dir, "two.avi", false},
        {"the folder's time moves: read again", [&] { setFolderTime(dir, alsoSettled); }, dir, "two.avi", true},
        {"a file removed",
         [&] {
             ::unlink((dir + "/one.avi").c_str());
             setFolderTime(dir, settled);
         },
         dir, "one.avi", false},
        {"another folder of the same time", [&] { setFolderTime(twin, settled); }, twin, "other.avi", true},
        {"a folder changed just now is read again even at the same time",
         [&] {
             setFolderTime(dir, secondsAgo(0));
             listed(dir, "two.avi");
             const timespec now = folderTime(dir);
             base.file("share/shows/three.avi", "x");
             setFolderTime(dir, now);
         },
         dir, "three.avi", true},
    };
    for (const Step& step : steps) {
        step.change();
        EXPECT_EQ(listed(step.folder, step.name), step.shown) << step.what;
    }
}

// Bounded: the least recently used listing goes first, one larger than the whole budget
// is never kept, and none outlives its lifetime.
TEST(ListingCacheTest, KeepsTheMostRecentListingsWithinItsBounds) {
    struct stat folder {};
    folder.st_mtim = secondsAgo(60);
    const std::time_t now = secondsAgo(0).tv_sec;
    const auto text = [](std::size_t size, char c) { return std::make_shared<const std::string>(size, c); };
    ListingCache::Limits limits;
    limits.maxEntries = 2;
    limits.maxBytes = 100;
    ListingCache cache(limits);
    cache.keep("/a", folder, now, text(10, 'a'));
    cache.keep("/b", folder, now, text(10, 'b'));
    ASSERT_NE(cache.find("/a", folder), nullptr);  // "/a" is now the more recent
    cache.keep("/c", folder, now, text(10, 'c'));
    EXPECT_NE(cache.find("/a", folder), nullptr);
    EXPECT_EQ(cache.find("/b", folder), nullptr) << "the least recently used went";
    ASSERT_NE(cache.find("/c", folder), nullptr);
    EXPECT_EQ(*cache.find("/c", folder), std::string(10, 'c'));
    cache.keep("/d", folder, now, text(95, 'd'));
    EXPECT_TRUE(cache.find("/d", folder) && !cache.find("/a", folder) && !cache.find("/c", folder)) << "bytes";
    cache.keep("/e", folder, now, text(101, 'e'));
    EXPECT_TRUE(!cache.find("/e", folder) && cache.find("/d", folder)) << "larger than the budget";
    limits.lifetime = std::chrono::seconds(0);
    ListingCache shortLived(limits);
    shortLived.keep("/a", folder, now, text(10, 'a'));
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_EQ(shortLived.find("/a", folder), nullptr);
}

// Above a root lies the box's "Directories" view of every root, never the folder holding it.
TEST_F(FolderTest, ParentsClimbToTheViewOfAllRoots) {
    EXPECT_EQ(names(root + "/alpha/..").size(), 10u);
    for (const std::string& path : {root + "/..", std::string("c:/.."), std::string("C:/../..")}) {
        EXPECT_EQ(names(path), (std::vector<std::string>{"", root, other.path()})) << path;
    }
    for (const char* path : {"c:/../", "c:/../../.."}) EXPECT_TRUE(PathGuard::isRootsView(path)) << path;
    for (const char* path : {"c:/", "c:/../x", "/c:/..", "d:/..", "c:/...."}) {
        EXPECT_FALSE(PathGuard::isRootsView(path)) << path;
    }
}

}  // namespace
}  // namespace oxle::server
