#include "server/Disc.h"

#include <cdio/logging.h>
#include <libvcd/logging.h>

#include <mutex>

#include "server/DvdDisc.h"
#include "server/Log.h"
#include "server/VcdDisc.h"

namespace oxle::server {

namespace {

void logVcd(vcd_log_level_t, const char message[]) { Log::debug(std::string("libvcdinfo: ") + message); }
void logCdio(cdio_log_level_t, const char message[]) { Log::debug(std::string("libcdio: ") + message); }

}  // namespace

std::unique_ptr<DiscSectors> Disc::open(DiscLocation::Kind kind, const std::string& drive, int title,
                                        DiscTitle& described, std::string& why) {
    // The CD libraries' messages would go to standard error unasked; they are --verbose's.
    static std::once_flag quiet;
    std::call_once(quiet, [] {
        vcd_log_set_handler(logVcd);
        cdio_log_set_handler(logCdio);
    });
    // libdvdread sets process-wide state on every open; opens come from the command
    // threads, so one at a time. Reading an opened disc needs no lock.
    static std::mutex opening;
    std::lock_guard<std::mutex> lock(opening);
    std::unique_ptr<DiscSectors> sectors;
    if (kind == DiscLocation::Kind::Dvd) {
        sectors = DvdDisc::open(drive, title, described, why);
    } else if (title != 1) {
        why = "title " + std::to_string(title) + " does not exist: an (S)VCD plays as title 1";
    } else {
        sectors = VcdDisc::open(drive, described, why);
    }
    described.drive = drive;
    return sectors;
}

std::unique_ptr<DiscSectors> Disc::reopen(const DiscTitle& title, std::string& why) {
    DiscTitle again;
    const auto kind = title.kind == DiscTitle::Kind::Dvd ? DiscLocation::Kind::Dvd : DiscLocation::Kind::Vcd;
    return open(kind, title.drive, title.title, again, why);
}

const char* Disc::partName(const DiscTitle& title) { return title.kind == DiscTitle::Kind::Dvd ? "chapter" : "entry"; }

}  // namespace oxle::server
