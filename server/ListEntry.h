#pragma once

#include <cstdint>
#include <string>

namespace oxle::server {

// One child of a list document. The kinds are ordered as the box orders its rows.
struct ListEntry {
    enum class Kind { Parent = 0, Directory = 1, File = 2 };

    Kind kind = Kind::File;
    std::string name;
    std::string path;
    std::uint64_t size = 0;  // files only
    std::string pic;         // files only
    std::string date;        // files only, "YYYY-MM-DD HH:MM"

    // The box's order: by kind, then by name compared as unsigned bytes.
    static bool before(const ListEntry& a, const ListEntry& b) {
        if (a.kind != b.kind) return a.kind < b.kind;
        return a.name.compare(b.name) < 0;
    }
};

}  // namespace oxle::server
