#pragma once

#include <string>
#include <vector>

#include "server/ListEntry.h"
#include "server/ListingCache.h"
#include "server/PathGuard.h"

namespace oxle::server {

// Turns a path the box asks for into the entries of a list document, reading the file
// system through the confinement of a PathGuard.
class DirectoryScanner {
public:
    explicit DirectoryScanner(const PathGuard& guard) : guard_(guard) {}

    // The whole list document for a client path; the empty document when the path is
    // refused or cannot be read. A folder listed lately and unchanged since is not read again.
    std::string listDocument(const std::string& clientPath) const;

    // Entries for a client path, ".." first, then the box's order. False when refused.
    bool listEntries(const std::string& clientPath, std::vector<ListEntry>& entries, std::string& why) const;

    // Directories and playable files of a canonical directory, sorted, without "..".
    // Hidden entries, names the document cannot carry and links leaving the roots are
    // left out.
    bool scan(const std::string& canonicalDir, std::vector<ListEntry>& entries, std::string& why) const;

    // Canonical path of the playable file before (direction < 0) or after (> 0) the
    // given one in its directory's order; false at either end.
    bool neighbour(const std::string& canonicalFile, int direction, std::string& result) const;

private:
    void rootsView(std::vector<ListEntry>& entries) const;
    // The canonical folder a client path lists; empty for the view of all roots.
    bool folderOf(const std::string& clientPath, std::string& folder, std::string& why) const;
    bool entriesOf(const std::string& folder, std::vector<ListEntry>& entries, std::string& why) const;

    const PathGuard& guard_;
    // Synchronised in itself: the command threads share the scanner.
    mutable ListingCache cache_;
};

}  // namespace oxle::server
