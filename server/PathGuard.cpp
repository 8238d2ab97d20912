#include "server/PathGuard.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace oxle::server {

namespace {

constexpr const char* kRootsViewPath = "c:/..";
constexpr const char* kGuardParentSuffix = "/..";

bool realPath(const std::string& path, std::string& out, std::string& why) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) {
        why = std::strerror(errno);
        return false;
    }
    out = resolved;
    std::free(resolved);
    return true;
}

bool startsWithIgnoringCase(const std::string& text, const char* prefix) {
    const std::size_t length = std::strlen(prefix);
    return text.size() >= length && strncasecmp(text.c_str(), prefix, length) == 0;
}

}  // namespace

bool PathGuard::create(const std::vector<std::string>& roots, PathGuard& guard, std::string& error) {
    PathGuard made;
    for (const std::string& root : roots) {
        std::string canonical;
        std::string why;
        if (!realPath(root, canonical, why)) {
            error = "root " + root + ": " + why;
            return false;
        }
        struct stat info {};
        if (::stat(canonical.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
            error = "root " + root + " is not a directory";
            return false;
        }
        bool duplicate = false;
        for (const std::string& known : made.roots_) duplicate = duplicate || known == canonical;
        if (!duplicate) made.roots_.push_back(canonical);
    }
    if (made.roots_.empty()) {
        error = "no root given";
        return false;
    }
    guard = made;
    return true;
}

bool PathGuard::contains(const std::string& canonical) const {
    for (const std::string& root : roots_) {
        if (canonical == root) return true;
        if (root == "/") return !canonical.empty() && canonical[0] == '/';
        if (canonical.size() > root.size() && canonical.compare(0, root.size(), root) == 0 &&
            canonical[root.size()] == '/') {
            return true;
        }
    }
    return false;
}

bool PathGuard::isRoot(const std::string& canonical) const {
    for (const std::string& root : roots_) {
        if (canonical == root) return true;
    }
    return false;
}

bool PathGuard::resolve(const std::string& path, std::string& canonical, std::string& why) const {
    if (path.empty() || path[0] != '/') {
        why = "not an absolute path";
        return false;
    }
    std::string resolved;
    if (!realPath(path, resolved, why)) return false;
    if (!contains(resolved)) {
        why = "outside the shared roots";
        return false;
    }
    canonical = resolved;
    return true;
}

bool PathGuard::isRootsView(const std::string& clientPath) {
    if (!startsWithIgnoringCase(clientPath, kRootsViewPath)) return false;
    std::string rest = clientPath.substr(std::strlen(kRootsViewPath));
    const std::size_t suffix = std::strlen(kGuardParentSuffix);
    while (rest.size() >= suffix && rest.compare(0, suffix, kGuardParentSuffix) == 0) {
        rest.erase(0, suffix);
    }
    return rest.empty() || rest == "/";
}

}  // namespace oxle::server
