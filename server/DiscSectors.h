#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace oxle::server {

// Reads the MPEG program stream of one opened disc title, sector by sector. Made on a
// command thread, then owned and used by one feeder thread alone.
class DiscSectors {
public:
    virtual ~DiscSectors() = default;

    // Appends the program stream bytes of `count` sectors from `first` to `out`; false,
    // with the reason in `why`, when the disc could not be read there.
    virtual bool read(std::uint32_t first, std::uint32_t count, std::vector<std::uint8_t>& out, std::string& why) = 0;
};

}  // namespace oxle::server
