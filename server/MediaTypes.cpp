#include "server/MediaTypes.h"

#include <cctype>
#include <cstring>

namespace oxle::server {

namespace {

struct ExtensionKind {
    const char* extension;
    MediaKind kind;
};

// The box's own file-type table plus the containers common today.
constexpr ExtensionKind kExtensions[] = {
    {"AVI", MediaKind::Video}, {"DIVX", MediaKind::Video}, {"XVID", MediaKind::Video}, {"AVS", MediaKind::Other},
    {"MPG", MediaKind::Video}, {"MPEG", MediaKind::Video}, {"MP2V", MediaKind::Video}, {"DAT", MediaKind::Video},
    {"ASF", MediaKind::Video}, {"WMV", MediaKind::Video},  {"TS", MediaKind::Video},   {"VOB", MediaKind::Disc},
    {"MP3", MediaKind::Audio}, {"OGG", MediaKind::Audio},  {"WAV", MediaKind::Audio},  {"WMA", MediaKind::Audio},
    {"BIN", MediaKind::Disc},  {"ISO", MediaKind::Disc},   {"MP4", MediaKind::Video},  {"MKV", MediaKind::Video},
    {"MOV", MediaKind::Video}, {"M4V", MediaKind::Video},  {"WEBM", MediaKind::Video}, {"FLAC", MediaKind::Audio},
    {"M4A", MediaKind::Audio}, {"AAC", MediaKind::Audio},  {"M2TS", MediaKind::Video},
};

constexpr const char* kRemuxable[] = {"TS", "VOB", "MPG", "MPEG", "M2TS"};

}  // namespace

std::string MediaTypes::extensionOf(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) return std::string();
    std::string ext = name.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return ext;
}

MediaKind MediaTypes::kindOf(const std::string& name) {
    const std::string ext = extensionOf(name);
    if (ext.empty()) return MediaKind::None;
    for (const ExtensionKind& entry : kExtensions) {
        if (ext == entry.extension) return entry.kind;
    }
    return MediaKind::None;
}

const char* MediaTypes::pictureFor(MediaKind kind) {
    switch (kind) {
        case MediaKind::Video: return "film.png";
        case MediaKind::Audio: return "music.png";
        case MediaKind::Disc: return "dvd.png";
        case MediaKind::Other:
        case MediaKind::None: break;
    }
    return "default.png";
}

bool MediaTypes::remuxableContainer(const std::string& name) {
    const std::string ext = extensionOf(name);
    for (const char* candidate : kRemuxable) {
        if (ext == candidate) return true;
    }
    return false;
}

}  // namespace oxle::server
