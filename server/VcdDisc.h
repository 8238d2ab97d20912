#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "server/DiscSectors.h"
#include "server/DiscTitle.h"

struct _VcdInfo;

namespace oxle::server {

// A Video CD or Super Video CD, from a drive or a .cue/.bin image, read through
// libvcdinfo: its entries from the first to the end of the disc as one title, and their
// Mode 2 Form 2 sectors as an MPEG program stream.
class VcdDisc : public DiscSectors {
public:
    // None, with the reason in `why`, when `drive` holds no (S)VCD.
    static std::unique_ptr<VcdDisc> open(const std::string& drive, DiscTitle& described, std::string& why);
    ~VcdDisc() override;
    VcdDisc(const VcdDisc&) = delete;
    VcdDisc& operator=(const VcdDisc&) = delete;

    // Empty sectors between the packs are left out.
    bool read(std::uint32_t first, std::uint32_t count, std::vector<std::uint8_t>& out, std::string& why) override;

    // The system clock of an MPEG-1 or MPEG-2 pack header in seconds; false when `pack`
    // does not start with one.
    static bool packClock(const std::uint8_t* pack, std::size_t bytes, double& seconds);

private:
    VcdDisc() = default;
    // Seconds from the first to the last pack of a piece, or its sectors at the Video CD rate.
    double playingTime(std::uint32_t first, std::uint32_t last);
    void describeVideo(DiscTitle& described);

    _VcdInfo* vcd_ = nullptr;
};

}  // namespace oxle::server
