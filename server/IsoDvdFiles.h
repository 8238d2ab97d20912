#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "UniqueFd.h"

namespace oxle::server {

// A DVD image that has no UDF file system, only ISO 9660 (as xorriso writes it), which
// the DVD reader cannot open. Its IFO files are copied into a folder of this object's
// own, where the reader finds them, and the title VOBs are read straight from the image
// at their extents. The folder goes with the object.
class IsoDvdFiles {
public:
    static constexpr std::uint32_t kSectorBytes = 2048;

    IsoDvdFiles() = default;
    ~IsoDvdFiles();
    IsoDvdFiles(const IsoDvdFiles&) = delete;
    IsoDvdFiles& operator=(const IsoDvdFiles&) = delete;

    // False, with the reason in `why`, when `image` is no ISO 9660 image of a DVD.
    bool open(const std::string& image, std::string& why);
    // Holds VIDEO_TS/ with the image's IFO files.
    const std::string& folder() const { return folder_; }
    // Makes the VOBs of `titleSet` the ones read() reads.
    bool selectTitleSet(int titleSet, std::string& why);
    // Sectors of the title set's VOBs, counted across its files as the IFO counts them.
    bool read(std::uint32_t first, std::uint32_t count, std::vector<std::uint8_t>& out, std::string& why) const;
    // The IFO copies are read once; the folder can go before the object does.
    void removeFolder();

private:
    struct Extent {
        std::uint32_t lsn = 0;
        std::uint32_t sectors = 0;
    };

    std::string image_;
    UniqueFd fd_;
    std::string folder_;
    std::vector<std::string> copied_;
    std::vector<Extent> vobs_;
};

}  // namespace oxle::server
