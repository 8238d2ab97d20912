#include "server/Listing.h"

#include <cstdint>

namespace oxle::server {

namespace {

constexpr const char* kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
constexpr const char* kRootOpen = "<list>\n";
constexpr const char* kRootClose = "</list>\n";
// A typical entry line is under this many bytes; reserving avoids re-allocation
// while a large folder is written.
constexpr std::size_t kTypicalEntryBytes = 160;

const char* typeName(ListEntry::Kind kind) { return kind == ListEntry::Kind::File ? "file" : "directory"; }

void appendAttribute(std::string& out, const char* name, const std::string& value) {
    out += ' ';
    out += name;
    out += "=\"";
    Listing::appendEscaped(out, value);
    out += '"';
}

// Length of the UTF-8 sequence starting at s[i], 0 when it is not valid.
std::size_t utf8Length(const std::string& s, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    std::uint32_t code = 0;
    std::uint32_t minimum = 0;
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        code = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        code = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        code = lead & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + length > s.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    const bool nonCharacter = code == 0xFFFE || code == 0xFFFF;
    if (code < minimum || code > 0x10FFFF || surrogate || nonCharacter) return 0;
    return length;
}

}  // namespace

void Listing::appendEscaped(std::string& out, const std::string& text) {
    constexpr const char* kSpecial = "&<>\"'\t\n\r";
    std::size_t from = 0;
    while (true) {
        const std::size_t at = text.find_first_of(kSpecial, from);
        out.append(text, from, at == std::string::npos ? std::string::npos : at - from);
        if (at == std::string::npos) return;
        switch (text[at]) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&apos;"; break;
            // Attribute-value normalisation would turn these into spaces.
            case '\t': out += "&#9;"; break;
            case '\n': out += "&#10;"; break;
            default: out += "&#13;"; break;
        }
        from = at + 1;
    }
}

std::string Listing::xmlEscape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    appendEscaped(out, text);
    return out;
}

bool Listing::representable(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
        const std::size_t length = utf8Length(text, i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

std::string Listing::formatDate(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return text;
}

std::string Listing::document(const std::vector<ListEntry>& entries) {
    std::string out;
    out.reserve(64 + entries.size() * kTypicalEntryBytes);
    out += kDeclaration;
    out += kRootOpen;
    for (const ListEntry& entry : entries) {
        out += "<entry";
        appendAttribute(out, "type", typeName(entry.kind));
        appendAttribute(out, "path", entry.path);
        appendAttribute(out, "name", entry.kind == ListEntry::Kind::Parent ? ".." : entry.name);
        if (entry.kind == ListEntry::Kind::File) {
            appendAttribute(out, "size", std::to_string(entry.size));
            appendAttribute(out, "pic", entry.pic);
            appendAttribute(out, "date", entry.date);
        }
        out += "/>\n";
    }
    out += kRootClose;
    return out;
}

std::string Listing::emptyDocument() { return std::string(kDeclaration) + "<list/>\n"; }

}  // namespace oxle::server
