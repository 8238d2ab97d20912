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
constexpr std::size_t kFrameBytes = 64;  // the declaration and the root element
constexpr std::size_t kDateTextBytes = 32;

const char* typeName(ListEntry::Kind kind) { return kind == ListEntry::Kind::File ? "file" : "directory"; }

void appendAttribute(std::string& out, const char* name, const std::string& value) {
    out += ' ';
    out += name;
    out += "=\"";
    Listing::appendEscaped(out, value);
    out += '"';
}

// The multi-byte forms of UTF-8: a lead byte matching `pattern` under `mask` starts a
// sequence of `length` bytes whose shortest use is for code points from `minimum`.
struct Utf8Form {
    unsigned char mask;
    unsigned char pattern;
    std::size_t length;
    std::uint32_t minimum;
};
constexpr Utf8Form kUtf8Forms[] = {{0xE0, 0xC0, 2, 0x80}, {0xF0, 0xE0, 3, 0x800}, {0xF8, 0xF0, 4, 0x10000}};
constexpr unsigned char kAsciiEnd = 0x80;
constexpr unsigned char kContinuationMask = 0xC0;
constexpr unsigned char kContinuationPattern = 0x80;
constexpr unsigned kContinuationBits = 6;
constexpr std::uint32_t kContinuationPayload = (1u << kContinuationBits) - 1;
constexpr std::uint32_t kSurrogateFirst = 0xD800;
constexpr std::uint32_t kSurrogateLast = 0xDFFF;
constexpr std::uint32_t kNonCharacterFirst = 0xFFFE;  // and 0xFFFF
constexpr std::uint32_t kLastCodePoint = 0x10FFFF;

// Length of the UTF-8 sequence starting at s[i], 0 when it is not valid.
std::size_t utf8Length(const std::string& s, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = byte(i);
    if (lead < kAsciiEnd) return 1;
    const Utf8Form* form = nullptr;
    for (const Utf8Form& candidate : kUtf8Forms) {
        if ((lead & candidate.mask) == candidate.pattern) {
            form = &candidate;
            break;
        }
    }
    if (form == nullptr || i + form->length > s.size()) return 0;
    // The lead byte carries the bits its mask leaves out.
    std::uint32_t code = lead & static_cast<unsigned char>(~form->mask);
    for (std::size_t k = 1; k < form->length; ++k) {
        if ((byte(i + k) & kContinuationMask) != kContinuationPattern) return 0;
        code = (code << kContinuationBits) | (byte(i + k) & kContinuationPayload);
    }
    const bool surrogate = code >= kSurrogateFirst && code <= kSurrogateLast;
    const bool nonCharacter = code >= kNonCharacterFirst && code <= kNonCharacterFirst + 1;
    if (code < form->minimum || code > kLastCodePoint || surrogate || nonCharacter) return 0;
    return form->length;
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
    char text[kDateTextBytes];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return text;
}

std::string Listing::document(const std::vector<ListEntry>& entries) {
    std::string out;
    out.reserve(kFrameBytes + entries.size() * kTypicalEntryBytes);
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
