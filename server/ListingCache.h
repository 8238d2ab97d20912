#pragma once

#include <sys/stat.h>

#include <chrono>
#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <string>

namespace oxle::server {

// List documents of folders listed lately, so that a big folder the viewer comes back to
// is answered without reading it again. A document holds only while its folder keeps the
// path, inode and modification time it was read with, and for a short while at most: a
// recording grows without touching its folder's time. Safe on any thread.
class ListingCache {
public:
    using Clock = std::chrono::steady_clock;

    struct Limits {
        std::size_t maxBytes = 32u << 20;  // a folder of 100,000 entries makes about 16 MB
        std::size_t maxEntries = 32;
        Clock::duration lifetime = std::chrono::seconds(30);
        // Folder times are as coarse as a second on some file systems, so a folder changed
        // this recently may change again without its time moving: never kept.
        std::chrono::seconds settle{2};
    };

    ListingCache() = default;
    explicit ListingCache(Limits limits) : limits_(limits) {}

    // The document kept for `dir` as `folder` describes it now; null when there is none.
    std::shared_ptr<const std::string> find(const std::string& dir, const struct stat& folder);
    // Keeps `document`, read from `dir` after `folder` was taken at `readAt` (wall clock);
    // a folder that changed shortly before cannot be kept.
    void keep(const std::string& dir, const struct stat& folder, std::time_t readAt,
              std::shared_ptr<const std::string> document);

private:
    struct Entry {
        std::string dir;
        dev_t device = 0;
        ino_t inode = 0;
        timespec modified{};
        Clock::time_point kept{};
        std::shared_ptr<const std::string> document;
    };

    static bool same(const Entry& entry, const struct stat& folder);
    void dropLocked(std::list<Entry>::iterator entry);

    const Limits limits_;
    // Guards entries_ (most recently used first) and bytes_, the size of their documents.
    std::mutex mutex_;
    std::list<Entry> entries_;
    std::size_t bytes_ = 0;
};

}  // namespace oxle::server
