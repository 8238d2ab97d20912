#include "server/VcdDisc.h"

#include <cdio/cdio.h>
#include <libvcd/info.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>

namespace oxle::server {

namespace {

constexpr std::uint32_t kRawSectorBytes = M2RAW_SECTOR_SIZE;
constexpr std::uint32_t kPayloadBytes = M2F2_SECTOR_SIZE;
constexpr std::uint32_t kSubheaderBytes = CDIO_CD_SUBHEADER_SIZE;
// A Video CD plays at the single CD speed: 75 sectors, one pack each, a second.
constexpr double kSectorsPerSecond = 75.0;
// How far from a piece's ends the first and last packs are looked for.
constexpr std::uint32_t kClockSearchSectors = 64;
constexpr double kClockHz = 90000.0;
constexpr std::uint8_t kPackCode = 0xba;
constexpr std::uint8_t kSequenceCode = 0xb3;
constexpr int kMpeg2Marker = 0x40;
constexpr int kMpeg2MarkerBits = 0xc0;
constexpr int kMpeg1Marker = 0x20;
constexpr int kMpeg1MarkerBits = 0xf0;
constexpr std::size_t kPackClockBytes = 10;

bool startCode(const std::uint8_t* bytes, std::uint8_t code) {
    return bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 1 && bytes[3] == code;
}

}  // namespace

std::unique_ptr<VcdDisc> VcdDisc::open(const std::string& drive, DiscTitle& described, std::string& why) {
    struct stat info {};
    if (::stat(drive.c_str(), &info) != 0) {
        why = "no disc at " + drive;
        return nullptr;
    }
    std::unique_ptr<VcdDisc> disc(new VcdDisc());
    std::string source = drive;
    char* name = source.data();
    if (vcdinfo_open(&disc->vcd_, &name, DRIVER_UNKNOWN, nullptr) != VCDINFO_OPEN_VCD) {
        disc->vcd_ = nullptr;
        why = "no (S)VCD in " + drive;
        return nullptr;
    }
    const vcd_type_t type = vcdinfo_get_VCD_type(disc->vcd_);
    described = DiscTitle();
    described.kind = type == VCD_TYPE_SVCD || type == VCD_TYPE_HQVCD ? DiscTitle::Kind::Svcd : DiscTitle::Kind::Vcd;
    described.titleCount = vcdinfo_get_num_tracks(disc->vcd_);
    const unsigned entries = vcdinfo_get_num_entries(disc->vcd_);
    for (unsigned entry = 0; entry < entries; ++entry) {
        const lsn_t first = vcdinfo_get_entry_lsn(disc->vcd_, entry);
        const std::uint32_t sectors = vcdinfo_get_entry_sect_count(disc->vcd_, entry);
        if (first == VCDINFO_NULL_LSN || first < 0 || sectors == 0) continue;
        const auto from = static_cast<std::uint32_t>(first);
        const double start = described.length();
        described.chapterPieces.push_back(described.pieces.size());
        described.pieces.push_back({from, from + sectors - 1, start, disc->playingTime(from, from + sectors - 1)});
    }
    if (described.pieces.empty()) {
        why = "the (S)VCD in " + drive + " lists no entries";
        return nullptr;
    }
    described.info.container = described.kind == DiscTitle::Kind::Svcd ? "Super Video CD" : "Video CD";
    described.info.durationSeconds = described.length();
    disc->describeVideo(described);
    StreamInfo audio;
    audio.kind = "audio";
    audio.codec = "mp2";
    described.info.streams.push_back(audio);
    described.audioIds.push_back(0x1c0);
    return disc;
}

VcdDisc::~VcdDisc() {
    if (vcd_ != nullptr) vcdinfo_close(vcd_);
}

bool VcdDisc::read(std::uint32_t first, std::uint32_t count, std::vector<std::uint8_t>& out, std::string& why) {
    std::vector<std::uint8_t> raw(static_cast<std::size_t>(count) * kRawSectorBytes);
    if (cdio_read_mode2_sectors(vcdinfo_get_cd_image(vcd_), raw.data(), first, true, count) != DRIVER_OP_SUCCESS) {
        why = "cannot read sectors " + std::to_string(first) + " to " + std::to_string(first + count - 1);
        return false;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* payload = raw.data() + static_cast<std::size_t>(i) * kRawSectorBytes + kSubheaderBytes;
        if (startCode(payload, kPackCode)) out.insert(out.end(), payload, payload + kPayloadBytes);
    }
    return true;
}

bool VcdDisc::packClock(const std::uint8_t* pack, std::size_t bytes, double& seconds) {
    if (bytes < kPackClockBytes || !startCode(pack, kPackCode)) return false;
    const std::uint8_t* p = pack + 4;
    std::uint64_t clock = 0;
    if ((p[0] & kMpeg2MarkerBits) == kMpeg2Marker) {
        clock = (std::uint64_t(p[0] & 0x38) << 27) | (std::uint64_t(p[0] & 0x03) << 28) | (std::uint64_t(p[1]) << 20) |
                (std::uint64_t(p[2] & 0xf8) << 12) | (std::uint64_t(p[2] & 0x03) << 13) | (std::uint64_t(p[3]) << 5) |
                (std::uint64_t(p[4]) >> 3);
    } else if ((p[0] & kMpeg1MarkerBits) == kMpeg1Marker) {
        clock = (std::uint64_t(p[0] & 0x0e) << 29) | (std::uint64_t(p[1]) << 22) | (std::uint64_t(p[2] & 0xfe) << 14) |
                (std::uint64_t(p[3]) << 7) | (std::uint64_t(p[4]) >> 1);
    } else {
        return false;
    }
    seconds = static_cast<double>(clock) / kClockHz;
    return true;
}

double VcdDisc::playingTime(std::uint32_t first, std::uint32_t last) {
    const double nominal = (last - first + 1) / kSectorsPerSecond;
    const std::uint32_t window = std::min(kClockSearchSectors, last - first + 1);
    std::vector<std::uint8_t> head;
    std::vector<std::uint8_t> tail;
    std::string ignored;
    if (!read(first, window, head, ignored) || !read(last + 1 - window, window, tail, ignored)) return nominal;
    double from = 0.0;
    double to = 0.0;
    if (head.empty() || tail.empty() || !packClock(head.data(), head.size(), from) ||
        !packClock(tail.data() + tail.size() - kPayloadBytes, kPayloadBytes, to) || to <= from) {
        return nominal;
    }
    // The last pack plays for about a sector's time too.
    return to - from + 1 / kSectorsPerSecond;
}

void VcdDisc::describeVideo(DiscTitle& described) {
    StreamInfo video;
    video.kind = "video";
    video.codec = described.kind == DiscTitle::Kind::Svcd ? "mpeg2video" : "mpeg1video";
    std::vector<std::uint8_t> start;
    std::string ignored;
    const DiscTitle::Piece& piece = described.pieces.front();
    if (read(piece.first, std::min(kClockSearchSectors, piece.last - piece.first + 1), start, ignored)) {
        for (std::size_t at = 0; at + 8 <= start.size(); ++at) {
            if (!startCode(start.data() + at, kSequenceCode)) continue;
            const std::uint8_t* size = start.data() + at + 4;
            video.width = (size[0] << 4) | (size[1] >> 4);
            video.height = ((size[1] & 0x0f) << 8) | size[2];
            break;
        }
    }
    described.info.streams.insert(described.info.streams.begin(), video);
}

}  // namespace oxle::server
