#pragma once

#include <memory>
#include <string>

#include "server/DiscLocation.h"
#include "server/DiscSectors.h"
#include "server/DiscTitle.h"

namespace oxle::server {

// Opens a disc title of either kind: what the player feeds and the file information shows.
class Disc {
public:
    // The title described and a reader of its sectors; none, with the reason in `why`.
    // An (S)VCD plays as its one title 1.
    static std::unique_ptr<DiscSectors> open(DiscLocation::Kind kind, const std::string& drive, int title,
                                             DiscTitle& described, std::string& why);
    // The same title again, for a playback that starts elsewhere in it.
    static std::unique_ptr<DiscSectors> reopen(const DiscTitle& title, std::string& why);
    // "chapter" for a DVD, "entry" for an (S)VCD.
    static const char* partName(const DiscTitle& title);
};

}  // namespace oxle::server
