#include "server/DirectoryScanner.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <iterator>
#include <memory>

#include "server/Listing.h"
#include "server/Log.h"
#include "server/MediaTypes.h"

namespace oxle::server {

namespace {

constexpr const char* kRootsParentPath = "c:/../..";
constexpr const char* kParentSuffix = "/..";
constexpr std::time_t kSecondsPerMinute = 60;

std::string joinPath(const std::string& dir, const std::string& name) {
    return dir == "/" ? "/" + name : dir + "/" + name;
}

std::string parentOf(const std::string& canonical) {
    const std::size_t slash = canonical.rfind('/');
    if (slash == std::string::npos || slash == 0) return "/";
    return canonical.substr(0, slash);
}

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

}  // namespace

void DirectoryScanner::rootsView(std::vector<ListEntry>& entries) const {
    ListEntry parent;
    parent.kind = ListEntry::Kind::Parent;
    parent.path = kRootsParentPath;
    entries.push_back(parent);
    for (const std::string& root : guard_.roots()) {
        ListEntry entry;
        entry.kind = ListEntry::Kind::Directory;
        entry.name = root;
        entry.path = root;
        entries.push_back(entry);
    }
}

bool DirectoryScanner::folderOf(const std::string& clientPath, std::string& folder, std::string& why) const {
    folder.clear();
    if (PathGuard::isRootsView(clientPath)) return true;
    if (endsWith(clientPath, kParentSuffix)) {
        std::string base;
        const std::string named = clientPath.substr(0, clientPath.size() - std::strlen(kParentSuffix));
        if (!guard_.resolve(named.empty() ? "/" : named, base, why)) return false;
        // Above a root lies the view of all roots, never the folder that holds it.
        if (!guard_.isRoot(base)) folder = parentOf(base);
        return true;
    }
    return guard_.resolve(clientPath, folder, why);
}

bool DirectoryScanner::entriesOf(const std::string& folder, std::vector<ListEntry>& entries, std::string& why) const {
    entries.clear();
    if (folder.empty()) {
        rootsView(entries);
        return true;
    }
    std::vector<ListEntry> children;
    if (!scan(folder, children, why)) return false;
    ListEntry parent;
    parent.kind = ListEntry::Kind::Parent;
    parent.path = folder + kParentSuffix;
    entries.reserve(children.size() + 1);
    entries.push_back(parent);
    std::move(children.begin(), children.end(), std::back_inserter(entries));
    return true;
}

bool DirectoryScanner::listEntries(const std::string& clientPath, std::vector<ListEntry>& entries,
                                   std::string& why) const {
    entries.clear();
    std::string folder;
    return folderOf(clientPath, folder, why) && entriesOf(folder, entries, why);
}

std::string DirectoryScanner::listDocument(const std::string& clientPath) const {
    std::vector<ListEntry> entries;
    std::string folder;
    std::string why;
    const bool resolved = folderOf(clientPath, folder, why);
    // The folder's state is taken before it is read: a change while it is read then makes
    // what was read stale at the next request, never the other way round.
    struct stat before {};
    const bool cacheable = resolved && !folder.empty() && ::stat(folder.c_str(), &before) == 0;
    if (cacheable) {
        if (const auto kept = cache_.find(folder, before)) return *kept;
    }
    const std::time_t readAt = std::time(nullptr);
    if (!resolved || !entriesOf(folder, entries, why)) {
        Log::info("listing of \"" + clientPath + "\" refused: " + why);
        return Listing::emptyDocument();
    }
    auto document = std::make_shared<const std::string>(Listing::document(entries));
    if (cacheable) cache_.keep(folder, before, readAt, document);
    return *document;
}

bool DirectoryScanner::scan(const std::string& canonicalDir, std::vector<ListEntry>& entries, std::string& why) const {
    entries.clear();
    std::unique_ptr<DIR, DirCloser> dir(::opendir(canonicalDir.c_str()));
    if (!dir) {
        why = canonicalDir + ": " + std::strerror(errno);
        return false;
    }
    const int dirFd = ::dirfd(dir.get());
    std::size_t unrepresentable = 0;
    // Files of one folder often share their minute; formatting a date is not free.
    std::time_t cachedMinute = -1;
    std::string cachedDate;
    while (const dirent* item = ::readdir(dir.get())) {
        const std::string name = item->d_name;
        if (name.empty() || name[0] == '.') continue;  // hidden, "." and ".."
        // Most of a big folder is often what the box cannot play: no stat for those.
        const MediaKind kind = MediaTypes::kindOf(name);
        if (item->d_type == DT_REG && kind == MediaKind::None) continue;

        struct stat info {};
        if (item->d_type == DT_LNK) {
            // A link is followed only when its target stays inside the roots.
            std::string target;
            std::string ignored;
            if (!guard_.resolve(joinPath(canonicalDir, name), target, ignored)) continue;
            if (::stat(target.c_str(), &info) != 0) continue;
        } else if (item->d_type == DT_DIR) {
            info.st_mode = S_IFDIR;
        } else if (::fstatat(dirFd, item->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;
        }

        ListEntry entry;
        if (S_ISDIR(info.st_mode)) {
            entry.kind = ListEntry::Kind::Directory;
        } else if (S_ISREG(info.st_mode)) {
            if (kind == MediaKind::None) continue;
            entry.kind = ListEntry::Kind::File;
            entry.size = static_cast<std::uint64_t>(info.st_size);
            entry.pic = MediaTypes::pictureFor(kind);
            const std::time_t minute = info.st_mtime / kSecondsPerMinute;
            if (minute != cachedMinute) {
                cachedMinute = minute;
                cachedDate = Listing::formatDate(info.st_mtime);
            }
            entry.date = cachedDate;
        } else {
            continue;
        }
        if (!Listing::representable(name)) {
            ++unrepresentable;
            continue;
        }
        entry.name = name;
        entry.path = joinPath(canonicalDir, name);
        entries.push_back(std::move(entry));
    }
    if (unrepresentable > 0) {
        Log::info("listing " + canonicalDir + ": left out " + std::to_string(unrepresentable) +
                  " names that are not valid UTF-8 text");
    }
    std::sort(entries.begin(), entries.end(), ListEntry::before);
    return true;
}

bool DirectoryScanner::neighbour(const std::string& canonicalFile, int direction, std::string& result) const {
    const std::string dir = parentOf(canonicalFile);
    const std::string name = canonicalFile.substr(canonicalFile.rfind('/') + 1);
    std::vector<ListEntry> entries;
    std::string why;
    if (!scan(dir, entries, why)) return false;
    std::vector<const ListEntry*> files;
    for (const ListEntry& entry : entries) {
        if (entry.kind == ListEntry::Kind::File) files.push_back(&entry);
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (files[i]->name != name) continue;
        if (direction > 0 && i + 1 < files.size()) {
            result = files[i + 1]->path;
            return true;
        }
        if (direction < 0 && i > 0) {
            result = files[i - 1]->path;
            return true;
        }
        return false;
    }
    return false;
}

}  // namespace oxle::server
