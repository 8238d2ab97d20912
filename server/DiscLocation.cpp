#include "server/DiscLocation.h"

#include <cstring>

namespace oxle::server {

namespace {

constexpr const char* kDvdScheme = "dvdsimple://";
constexpr const char* kVcdScheme = "vcdx://";
// No disc has more titles, chapters or entries than this; longer numbers are typing errors.
constexpr int kMaxNumber = 999;
constexpr int kDecimal = 10;

bool startsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// A positive decimal number of `text` from `at` up to `stop`; advances `at` past it.
bool number(const std::string& text, std::size_t& at, char stop, int& value) {
    value = 0;
    const std::size_t from = at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        value = value * kDecimal + (text[at] - '0');
        if (value > kMaxNumber) return false;
        ++at;
    }
    if (at == from || value == 0) return false;
    if (stop == '\0') return at == text.size();
    return at < text.size() && text[at++] == stop;
}

}  // namespace

bool DiscLocation::isDisc(const std::string& text) {
    return startsWith(text, kDvdScheme) || startsWith(text, kVcdScheme);
}

bool DiscLocation::parse(const std::string& text, const std::string& configuredDrive, DiscLocation& location,
                         std::string& why) {
    const bool dvd = startsWith(text, kDvdScheme);
    if (!dvd && !startsWith(text, kVcdScheme)) {
        why = "not a disc location";
        return false;
    }
    location.kind = dvd ? Kind::Dvd : Kind::Vcd;
    const std::string rest = text.substr(std::strlen(dvd ? kDvdScheme : kVcdScheme));
    const std::size_t at = rest.find('@');
    if (at == std::string::npos || rest.find('@', at + 1) != std::string::npos) {
        why = "a disc location needs exactly one '@'";
        return false;
    }
    location.drive = rest.substr(0, at);
    if (location.drive.find("..") != std::string::npos) {
        why = "'..' in the drive name";
        return false;
    }
    if (configuredDrive.empty()) {
        why = "no disc drive is configured";
        return false;
    }
    if (location.drive != configuredDrive) {
        why = "names the drive \"" + location.drive + "\", not the configured " + configuredDrive;
        return false;
    }
    // "T:C-" plays to the end of the title; "T:C" is read the same way.
    std::string numbers = rest.substr(at + 1);
    if (!numbers.empty() && numbers.back() == '-') numbers.pop_back();
    std::size_t cursor = 0;
    if (!number(numbers, cursor, ':', location.title) || !number(numbers, cursor, '\0', location.chapter)) {
        why = "no TITLE:CHAPTER after the drive";
        return false;
    }
    return true;
}

}  // namespace oxle::server
