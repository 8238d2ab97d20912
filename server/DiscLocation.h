#pragma once

#include <string>

namespace oxle::server {

// What a disc row of the box names: "dvdsimple://DRIVE@TITLE:CHAPTER-" (a DVD title from
// that chapter on) or "vcdx://DRIVE@1:ENTRY-" (an (S)VCD from that entry on). The drive
// is opened as given, outside every root, so only the one the server was started with
// may appear.
struct DiscLocation {
    enum class Kind { Dvd, Vcd };

    Kind kind = Kind::Dvd;
    std::string drive;
    int title = 0;
    int chapter = 0;  // the (S)VCD's entry for vcdx://

    static bool isDisc(const std::string& text);
    // False, with the reason in `why`, for anything but a well-formed location on
    // `configuredDrive`.
    static bool parse(const std::string& text, const std::string& configuredDrive, DiscLocation& location,
                      std::string& why);
};

}  // namespace oxle::server
