#include "server/ListingCache.h"

#include <algorithm>

namespace oxle::server {

bool ListingCache::same(const Entry& entry, const struct stat& folder) {
    return entry.device == folder.st_dev && entry.inode == folder.st_ino &&
           entry.modified.tv_sec == folder.st_mtim.tv_sec && entry.modified.tv_nsec == folder.st_mtim.tv_nsec;
}

void ListingCache::dropLocked(std::list<Entry>::iterator entry) {
    bytes_ -= entry->document->size();
    entries_.erase(entry);
}

std::shared_ptr<const std::string> ListingCache::find(const std::string& dir, const struct stat& folder) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found =
        std::find_if(entries_.begin(), entries_.end(), [&](const Entry& entry) { return entry.dir == dir; });
    if (found == entries_.end()) return nullptr;
    if (!same(*found, folder) || Clock::now() - found->kept > limits_.lifetime) {
        dropLocked(found);
        return nullptr;
    }
    entries_.splice(entries_.begin(), entries_, found);
    return found->document;
}

void ListingCache::keep(const std::string& dir, const struct stat& folder, std::time_t readAt,
                        std::shared_ptr<const std::string> document) {
    if (!document || document->size() > limits_.maxBytes) return;
    if (folder.st_mtim.tv_sec + limits_.settle.count() > readAt) return;
    std::lock_guard<std::mutex> lock(mutex_);
    // What has outlived its use goes, and with it the memory of folders nobody comes back to.
    const auto now = Clock::now();
    for (auto it = entries_.begin(); it != entries_.end();) {
        const auto next = std::next(it);
        if (it->dir == dir || now - it->kept > limits_.lifetime) dropLocked(it);
        it = next;
    }
    while (!entries_.empty() &&
           (entries_.size() >= limits_.maxEntries || bytes_ + document->size() > limits_.maxBytes)) {
        dropLocked(std::prev(entries_.end()));
    }
    Entry entry;
    entry.dir = dir;
    entry.device = folder.st_dev;
    entry.inode = folder.st_ino;
    entry.modified = folder.st_mtim;
    entry.kept = Clock::now();
    bytes_ += document->size();
    entry.document = std::move(document);
    entries_.push_front(std::move(entry));
}

}  // namespace oxle::server
