#pragma once

#include <string>
#include <vector>

namespace oxle::server {

// Keeps every path a client names inside the shared roots. All decisions are taken on
// canonical paths (realpath), so ".." components and symbolic links that lead out of
// the roots are refused like any other path outside.
class PathGuard {
public:
    PathGuard() = default;

    // Canonicalises the roots; fails when one does not exist or is not a directory.
    static bool create(const std::vector<std::string>& roots, PathGuard& guard, std::string& error);

    const std::vector<std::string>& roots() const { return roots_; }
    bool contains(const std::string& canonical) const;
    bool isRoot(const std::string& canonical) const;

    // realpath of `path`, accepted only when it lies inside a root.
    bool resolve(const std::string& path, std::string& canonical, std::string& why) const;

    // "c:/.." (the box's "Directories" view), also followed by further "/..": the roots.
    static bool isRootsView(const std::string& clientPath);

private:
    std::vector<std::string> roots_;
};

}  // namespace oxle::server
