#include "server/DvdDisc.h"

#include <dvdread/dvd_reader.h>
#include <dvdread/ifo_read.h>
#include <dvdread/ifo_types.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <map>

#include "server/Log.h"

namespace oxle::server {

namespace {

constexpr std::uint32_t kSectorBytes = DVD_VIDEO_LB_LEN;
constexpr int kBcdTens = 10;
constexpr int kDvdSecondsPerMinute = 60;
constexpr int kDvdSecondsPerHour = 3600;
constexpr int kFrameRateShift = 6;
constexpr int kFrameBits = 0x3f;
constexpr int kRate25 = 1;
constexpr double kPalFps = 25.0;
constexpr double kNtscFps = 30000.0 / 1001.0;
constexpr int kAudioPresent = 0x8000;
constexpr int kAudioStreamShift = 8;
constexpr int kAudioStreamBits = 7;
// Scrambling is checked on the title's first sectors; CSS scrambles every VOBU of a set.
constexpr std::uint32_t kSectorsChecked = 64;
constexpr int kLogBytes = 512;
// Cell times add up in ticks of the MPEG clock, so that a chapter starts where the frames
// of the cells before it say, not a rounding error early.
constexpr double kTicksPerSecond = 90000.0;

// ffmpeg's ids of the DVD's audio substreams, and their codec names, by IFO audio format.
struct AudioFormat {
    int format;
    const char* codec;
    int firstId;
};
constexpr AudioFormat kAudioFormats[] = {
    {0, "ac3", 0x80}, {2, "mp2", 0x1c0}, {3, "mp2", 0x1c0}, {4, "pcm_dvd", 0xa0}, {6, "dts", 0x88},
};

constexpr int kPalVideo = 1;
constexpr int kFullWidth = 720;
constexpr int kHalfWidth = 352;
constexpr int kNarrowWidth = 704;
constexpr int kPalHeight = 576;
constexpr int kNtscHeight = 480;
enum PictureSize { kSize720, kSize704, kSize352, kSize352Half };

int bcd(unsigned value) { return static_cast<int>((value >> 4) * kBcdTens + (value & 0xf)); }

double seconds(const dvd_time_t& time) {
    const double fps = (time.frame_u >> kFrameRateShift) == kRate25 ? kPalFps : kNtscFps;
    return bcd(time.hour) * kDvdSecondsPerHour + bcd(time.minute) * kDvdSecondsPerMinute + bcd(time.second) +
           bcd(time.frame_u & kFrameBits) / fps;
}

std::string language(std::uint16_t code) {
    if (code == 0 || code == 0xffff) return std::string();
    return std::string{static_cast<char>(code >> 8), static_cast<char>(code & 0xff)};
}

// libdvdread's own messages: only with --verbose, one line each.
void logLibrary(void*, dvd_logger_level_t, const char* format, va_list args) {
    char line[kLogBytes];
    std::vsnprintf(line, sizeof line, format, args);
    Log::debug(std::string("libdvdread: ") + line);
}
const dvd_logger_cb kLogger = {logLibrary};

struct IfoCloser {
    void operator()(ifo_handle_t* ifo) const { ifoClose(ifo); }
};
using Ifo = std::unique_ptr<ifo_handle_t, IfoCloser>;

StreamInfo videoOf(const video_attr_t& attr) {
    StreamInfo video;
    video.kind = "video";
    video.codec = attr.mpeg_version == 0 ? "mpeg1video" : "mpeg2video";
    const int height = attr.video_format == kPalVideo ? kPalHeight : kNtscHeight;
    switch (attr.picture_size) {
        case kSize720: video.width = kFullWidth; break;
        case kSize704: video.width = kNarrowWidth; break;
        default: video.width = kHalfWidth; break;
    }
    video.height = attr.picture_size == kSize352Half ? height / 2 : height;
    return video;
}

}  // namespace

std::unique_ptr<DvdDisc> DvdDisc::open(const std::string& drive, int title, DiscTitle& described, std::string& why) {
    struct stat info {};
    if (::stat(drive.c_str(), &info) != 0) {
        why = "no disc at " + drive;
        return nullptr;
    }
    std::unique_ptr<DvdDisc> disc(new DvdDisc());
    disc->dvd_ = DVDOpen2(nullptr, &kLogger, drive.c_str());
    bool read = disc->dvd_ != nullptr && disc->describe(title, described, why);
    if (!read && why.empty() && S_ISREG(info.st_mode)) {
        // An image without UDF: the IFO files come from its ISO 9660 directory.
        if (disc->dvd_ != nullptr) DVDClose(disc->dvd_);
        disc->iso_ = std::make_unique<IsoDvdFiles>();
        disc->dvd_ = disc->iso_->open(drive, why) ? DVDOpen2(nullptr, &kLogger, disc->iso_->folder().c_str()) : nullptr;
        read = disc->dvd_ != nullptr && disc->describe(title, described, why) &&
               disc->iso_->selectTitleSet(described.titleSet, why);
        disc->iso_->removeFolder();
    }
    if (!read) {
        if (why.empty()) why = "no DVD-Video in " + drive;
        return nullptr;
    }
    return disc->readable(described, why) ? std::move(disc) : nullptr;
}

DvdDisc::~DvdDisc() {
    if (vobs_ != nullptr) DVDCloseFile(vobs_);
    if (dvd_ != nullptr) DVDClose(dvd_);
}

bool DvdDisc::describe(int title, DiscTitle& described, std::string& why) {
    const Ifo vmg(ifoOpen(dvd_, 0));
    if (!vmg || vmg->tt_srpt == nullptr) return false;
    const int titles = vmg->tt_srpt->nr_of_srpts;
    if (title < 1 || title > titles) {
        why = "title " + std::to_string(title) + " does not exist: the disc has " + std::to_string(titles) +
              (titles == 1 ? " title" : " titles");
        return false;
    }
    const title_info_t& entry = vmg->tt_srpt->title[title - 1];
    const Ifo vts(ifoOpen(dvd_, entry.title_set_nr));
    if (!vts || vts->vtsi_mat == nullptr || vts->vts_ptt_srpt == nullptr || vts->vts_pgcit == nullptr ||
        entry.vts_ttn < 1 || entry.vts_ttn > vts->vts_ptt_srpt->nr_of_srpts) {
        why = "the IFO of title set " + std::to_string(entry.title_set_nr) + " cannot be read";
        return false;
    }
    described = DiscTitle();
    described.kind = DiscTitle::Kind::Dvd;
    described.titleCount = titles;
    described.title = title;
    described.titleSet = entry.title_set_nr;

    // Each chapter names a program of a program chain; the chains are laid out one after
    // another in the order the chapters first name them.
    const ttu_t& chapters = vts->vts_ptt_srpt->title[entry.vts_ttn - 1];
    std::map<int, std::vector<std::size_t>> pieceOfCell;  // per chain, by cell
    const pgc_t* firstChain = nullptr;
    std::int64_t ticks = 0;
    for (int c = 0; c < chapters.nr_of_ptts; ++c) {
        const ptt_info_t& chapter = chapters.ptt[c];
        if (chapter.pgcn < 1 || chapter.pgcn > vts->vts_pgcit->nr_of_pgci_srp) continue;
        const pgc_t* chain = vts->vts_pgcit->pgci_srp[chapter.pgcn - 1].pgc;
        if (chain == nullptr || chain->cell_playback == nullptr || chain->program_map == nullptr) continue;
        if (firstChain == nullptr) firstChain = chain;
        auto [cells, added] = pieceOfCell.try_emplace(chapter.pgcn);
        if (added) {
            for (int i = 0; i < chain->nr_of_cells; ++i) {
                const cell_playback_t& cell = chain->cell_playback[i];
                // Of an angle block only the first angle plays.
                const bool otherAngle =
                    cell.block_type == BLOCK_TYPE_ANGLE_BLOCK && cell.block_mode != BLOCK_MODE_FIRST_CELL;
                if (!otherAngle) {
                    const std::int64_t length = std::llround(seconds(cell.playback_time) * kTicksPerSecond);
                    described.pieces.push_back(
                        {cell.first_sector, cell.last_sector, ticks / kTicksPerSecond, length / kTicksPerSecond});
                    ticks += length;
                }
                cells->second.push_back(described.pieces.empty() ? 0 : described.pieces.size() - 1);
            }
        }
        if (chapter.pgn < 1 || chapter.pgn > chain->nr_of_programs) continue;
        const std::size_t cell = chain->program_map[chapter.pgn - 1];
        if (cell >= 1 && cell <= cells->second.size()) described.chapterPieces.push_back(cells->second[cell - 1]);
    }
    if (described.pieces.empty() || described.chapterPieces.empty()) {
        why = "title " + std::to_string(title) + " has no cells to play";
        return false;
    }

    if (const vobu_admap_t* map = vts->vts_vobu_admap; map != nullptr && map->vobu_start_sectors != nullptr) {
        const std::size_t count = (map->last_byte + 1 - VOBU_ADMAP_SIZE) / sizeof(std::uint32_t);
        described.entryPoints.assign(map->vobu_start_sectors, map->vobu_start_sectors + count);
        std::sort(described.entryPoints.begin(), described.entryPoints.end());
    }
    described.info.container = "DVD-Video";
    described.info.durationSeconds = described.length();
    described.info.streams.push_back(videoOf(vts->vtsi_mat->vts_video_attr));
    for (int i = 0;
         i < vts->vtsi_mat->nr_of_vts_audio_streams && i < static_cast<int>(std::size(firstChain->audio_control));
         ++i) {
        const int control = firstChain->audio_control[i];
        const audio_attr_t& attr = vts->vtsi_mat->vts_audio_attr[i];
        if ((control & kAudioPresent) == 0) continue;
        for (const AudioFormat& format : kAudioFormats) {
            if (format.format != attr.audio_format) continue;
            StreamInfo audio;
            audio.kind = "audio";
            audio.codec = format.codec;
            audio.language = language(attr.lang_code);
            audio.channels = attr.channels + 1;
            described.info.streams.push_back(audio);
            described.audioIds.push_back(format.firstId + ((control >> kAudioStreamShift) & kAudioStreamBits));
        }
    }
    if (!iso_) {
        vobs_ = DVDOpenFile(dvd_, described.titleSet, DVD_READ_TITLE_VOBS);
        if (vobs_ == nullptr) {
            why = "the VOBs of title set " + std::to_string(described.titleSet) + " cannot be opened";
            return false;
        }
    }
    return true;
}

bool DvdDisc::read(std::uint32_t first, std::uint32_t count, std::vector<std::uint8_t>& out, std::string& why) {
    if (iso_) return iso_->read(first, count, out, why);
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(count) * kSectorBytes);
    const ssize_t got = DVDReadBlocks(vobs_, static_cast<int>(first), count, out.data() + at);
    if (got != static_cast<ssize_t>(count)) {
        out.resize(at);
        why = "cannot read sectors " + std::to_string(first) + " to " + std::to_string(first + count - 1);
        return false;
    }
    return true;
}

bool DvdDisc::scrambled(const std::uint8_t* sector) {
    constexpr std::uint8_t kPack[] = {0, 0, 1, 0xba};
    constexpr int kPackHeaderBytes = 14;
    constexpr int kStuffingBits = 7;
    constexpr int kFlagsOffset = 6;
    constexpr int kScramblingBits = 0x30;
    if (std::memcmp(sector, kPack, sizeof kPack) != 0) return false;
    const std::uint8_t* pes = sector + kPackHeaderBytes + (sector[kPackHeaderBytes - 1] & kStuffingBits);
    if (pes[0] != 0 || pes[1] != 0 || pes[2] != 1) return false;
    // Only the streams CSS scrambles: the navigation packets stay in the clear.
    const int id = pes[3];
    const bool media = id == 0xbd || (id >= 0xc0 && id <= 0xef);
    return media && (pes[kFlagsOffset] & kScramblingBits) != 0;
}

bool DvdDisc::readable(const DiscTitle& described, std::string& why) {
    const DiscTitle::Piece& piece = described.pieces.front();
    const std::uint32_t count = std::min(kSectorsChecked, piece.last - piece.first + 1);
    std::vector<std::uint8_t> sectors;
    if (!read(piece.first, count, sectors, why)) return false;
    for (std::size_t at = 0; at + kSectorBytes <= sectors.size(); at += kSectorBytes) {
        if (scrambled(sectors.data() + at)) {
            why = "the disc is encrypted, and this server has no decryption";
            return false;
        }
    }
    return true;
}

}  // namespace oxle::server
