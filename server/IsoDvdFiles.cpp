#include "server/IsoDvdFiles.h"

#include <cdio/iso9660.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "FdIo.h"

namespace oxle::server {

namespace {

constexpr int kMaxTitleSets = 99;
constexpr int kMaxVobsPerSet = 9;
constexpr std::size_t kNameBytes = 64;
constexpr mode_t kFolderMode = 0700;
constexpr mode_t kFileMode = 0600;
// IFO files are a few kilobytes; a larger one is no IFO.
constexpr std::uint32_t kMaxIfoBytes = 16 * 1024 * 1024;

struct IsoCloser {
    void operator()(iso9660_t* iso) const { iso9660_close(iso); }
};
struct StatFree {
    void operator()(iso9660_stat_t* stat) const { iso9660_stat_free(stat); }
};
using Iso = std::unique_ptr<iso9660_t, IsoCloser>;
using IsoStat = std::unique_ptr<iso9660_stat_t, StatFree>;

IsoStat find(iso9660_t* iso, const std::string& name) {
    return IsoStat(iso9660_ifs_stat_translate(iso, ("/VIDEO_TS/" + name).c_str()));
}

std::string vtsName(int titleSet, int part, const char* extension) {
    char name[kNameBytes];
    std::snprintf(name, sizeof name, "VTS_%02d_%d.%s", titleSet, part, extension);
    return name;
}

}  // namespace

IsoDvdFiles::~IsoDvdFiles() { removeFolder(); }

bool IsoDvdFiles::open(const std::string& image, std::string& why) {
    Iso iso(iso9660_open(image.c_str()));
    if (!iso) {
        why = "neither a DVD nor an ISO 9660 image";
        return false;
    }
    std::vector<std::string> names = {"VIDEO_TS.IFO"};
    for (int set = 1; set <= kMaxTitleSets && find(iso.get(), vtsName(set, 0, "IFO")); ++set) {
        names.push_back(vtsName(set, 0, "IFO"));
    }
    fd_.reset(::open(image.c_str(), O_RDONLY | O_CLOEXEC));
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/oxle-dvd-XXXXXX";
    if (!fd_ || ::mkdtemp(pattern.data()) == nullptr) {
        why = std::string("cannot read the image: ") + std::strerror(errno);
        return false;
    }
    folder_ = pattern;
    image_ = image;
    const std::string videoTs = folder_ + "/VIDEO_TS";
    ::mkdir(videoTs.c_str(), kFolderMode);
    for (const std::string& name : names) {
        const IsoStat file = find(iso.get(), name);
        if (!file || file->size > kMaxIfoBytes) {
            why = "the image has no /VIDEO_TS/" + name;
            return false;
        }
        std::vector<std::uint8_t> bytes;
        const std::uint32_t sectors = (file->size + kSectorBytes - 1) / kSectorBytes;
        vobs_ = {Extent{static_cast<std::uint32_t>(file->lsn), sectors}};
        if (!read(0, sectors, bytes, why)) return false;
        const std::string copy = videoTs + "/" + name;
        UniqueFd out(::open(copy.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kFileMode));
        copied_.push_back(copy);
        if (!out || fdio::writeAll(out.get(), bytes.data(), file->size) != file->size) {
            why = "cannot copy " + name + " out of the image";
            return false;
        }
    }
    vobs_.clear();
    return true;
}

bool IsoDvdFiles::selectTitleSet(int titleSet, std::string& why) {
    Iso iso(iso9660_open(image_.c_str()));
    vobs_.clear();
    for (int part = 1; iso && part <= kMaxVobsPerSet; ++part) {
        const IsoStat file = find(iso.get(), vtsName(titleSet, part, "VOB"));
        if (!file) break;
        vobs_.push_back(Extent{static_cast<std::uint32_t>(file->lsn), file->size / kSectorBytes});
    }
    if (vobs_.empty()) why = "the image has no " + vtsName(titleSet, 1, "VOB");
    return !vobs_.empty();
}

bool IsoDvdFiles::read(std::uint32_t first, std::uint32_t count, std::vector<std::uint8_t>& out,
                       std::string& why) const {
    for (const Extent& vob : vobs_) {
        while (count > 0 && first < vob.sectors) {
            const std::uint32_t here = std::min(count, vob.sectors - first);
            const std::size_t bytes = static_cast<std::size_t>(here) * kSectorBytes;
            const std::size_t at = out.size();
            out.resize(at + bytes);
            const off_t offset = static_cast<off_t>(vob.lsn + first) * kSectorBytes;
            if (::pread(fd_.get(), out.data() + at, bytes, offset) != static_cast<ssize_t>(bytes)) {
                out.resize(at);
                why = "short read from the image at sector " + std::to_string(vob.lsn + first);
                return false;
            }
            first += here;
            count -= here;
        }
        if (count == 0) return true;
        first -= vob.sectors;
    }
    why = "sector past the end of the title set";
    return false;
}

void IsoDvdFiles::removeFolder() {
    for (const std::string& copy : copied_) ::unlink(copy.c_str());
    copied_.clear();
    if (folder_.empty()) return;
    ::rmdir((folder_ + "/VIDEO_TS").c_str());
    ::rmdir(folder_.c_str());
    folder_.clear();
}

}  // namespace oxle::server
