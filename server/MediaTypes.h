#pragma once

#include <string>

namespace oxle::server {

enum class MediaKind { None, Video, Audio, Disc, Other };

// What the server offers to play, decided by the file name's extension.
class MediaTypes {
public:
    // Upper-cased text after the last '.', empty when the name has no dot.
    static std::string extensionOf(const std::string& name);
    // None for names the server does not list.
    static MediaKind kindOf(const std::string& name);
    static bool playable(const std::string& name) { return kindOf(name) != MediaKind::None; }
    // Icon name the box shows beside a file of this kind.
    static const char* pictureFor(MediaKind kind);
    // Containers that may already hold what the box decodes, so a remux can do.
    static bool remuxableContainer(const std::string& name);
};

}  // namespace oxle::server
