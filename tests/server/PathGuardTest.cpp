#include <gtest/gtest.h>
#include <unistd.h>

#include "server/PathGuard.h"
#include "tests/server/TestSupport.h"

namespace oxle::server {
namespace {

using test::TempDir;

TEST(PathGuardTest, KeepsPathsInsideTheRoots) {
    TempDir outside;
    TempDir base;
    const std::string root = base.subdir("share");
    const std::string sub = base.subdir("share/sub");
    base.file("share/sub/a.avi", "x");
    base.subdir("share-evil");
    base.file("secret.avi", "x");
    ASSERT_EQ(::symlink(outside.path().c_str(), (root + "/out").c_str()), 0);
    ASSERT_EQ(::symlink(sub.c_str(), (root + "/in").c_str()), 0);

    PathGuard guard;
    std::string error;
    ASSERT_TRUE(PathGuard::create({root}, guard, error)) << error;

    struct Case {
        std::string path;
        bool accepted;
    };
    const Case cases[] = {
        {root, true},
        {root + "/sub", true},
        {root + "/sub/a.avi", true},
        {root + "/sub/../sub/a.avi", true},
        {root + "/in/a.avi", true},
        {root + "/..", false},
        {root + "/sub/../../secret.avi", false},
        {root + "/../share-evil", false},
        {root + "/out", false},
        {root + "/out/..", false},
        {"/etc/passwd", false},
        {"/", false},
        {"share/sub", false},
        {"", false},
        {root + "/missing.avi", false},
    };
    for (const Case& c : cases) {
        std::string canonical;
        std::string why;
        EXPECT_EQ(guard.resolve(c.path, canonical, why), c.accepted) << c.path << ": " << why;
        if (c.accepted) {
            EXPECT_TRUE(guard.contains(canonical)) << canonical;
        }
    }
}

TEST(PathGuardTest, RootsMustExist) {
    PathGuard guard;
    std::string error;
    EXPECT_FALSE(PathGuard::create({"/nonexistent/oxle"}, guard, error));
    EXPECT_FALSE(error.empty());
    TempDir dir;
    EXPECT_FALSE(PathGuard::create({dir.file("plain.txt", "x")}, guard, error));
    EXPECT_FALSE(PathGuard::create({}, guard, error));
}

TEST(PathGuardTest, RecognisesTheRootsView) {
    for (const char* path : {"c:/..", "C:/..", "c:/../..", "c:/../../..", "c:/../"}) {
        EXPECT_TRUE(PathGuard::isRootsView(path)) << path;
    }
    for (const char* path : {"c:/", "c:/../x", "/c:/..", "d:/..", "c:/...."}) {
        EXPECT_FALSE(PathGuard::isRootsView(path)) << path;
    }
}

}  // namespace
}  // namespace oxle::server
