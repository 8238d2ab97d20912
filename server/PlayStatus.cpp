#include "server/PlayStatus.h"

#include "server/Listing.h"

namespace oxle::server {

std::string PlayStatus::document() const {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root>\n";
    out += "<time>" + std::to_string(time) + "</time>\n";
    out += "<length>" + std::to_string(length) + "</length>\n";
    out += "<position>" + std::to_string(position) + "</position>\n";
    out += "<information>\n<category name=\"Stream 0\">\n";
    out += "<info name=\"Codec\">" + Listing::xmlEscape(codec) + "</info>\n";
    out += "<info name=\"Aufl\xC3\xB6sung\">" + Listing::xmlEscape(resolution) + "</info>\n";
    out += "</category>\n</information>\n</root>\n";
    return out;
}

}  // namespace oxle::server
