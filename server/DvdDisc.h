#pragma once

#include <memory>
#include <string>

#include "server/DiscSectors.h"
#include "server/DiscTitle.h"
#include "server/IsoDvdFiles.h"

struct dvd_reader_s;
struct dvd_file_s;

namespace oxle::server {

// A DVD-Video disc, folder or image read through libdvdread: one title's cells, chapters,
// VOBU starts and streams, and that title's sectors. Encrypted discs are refused: there
// is no decryption here.
class DvdDisc : public DiscSectors {
public:
    // Opens `drive` and reads `title` (1-based) into `described`; none, with the reason in
    // `why`, when the disc cannot be read, has no such title or is encrypted.
    static std::unique_ptr<DvdDisc> open(const std::string& drive, int title, DiscTitle& described, std::string& why);
    ~DvdDisc() override;
    DvdDisc(const DvdDisc&) = delete;
    DvdDisc& operator=(const DvdDisc&) = delete;

    bool read(std::uint32_t first, std::uint32_t count, std::vector<std::uint8_t>& out, std::string& why) override;

    // Whether a sector's program stream packet is scrambled.
    static bool scrambled(const std::uint8_t* sector);

private:
    DvdDisc() = default;
    bool describe(int title, DiscTitle& described, std::string& why);
    // Reads the title's first sectors: false when they cannot be read or are scrambled.
    bool readable(const DiscTitle& described, std::string& why);

    dvd_reader_s* dvd_ = nullptr;
    dvd_file_s* vobs_ = nullptr;
    // Set for an image without UDF: its IFO copies and its VOB extents.
    std::unique_ptr<IsoDvdFiles> iso_;
};

}  // namespace oxle::server
