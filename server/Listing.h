#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "server/ListEntry.h"

namespace oxle::server {

// Builds the list document the box reads: an XML root whose children carry "type",
// "path", "name" and, for files, "size", "pic" and "date" attributes. Pure: no file system.
class Listing {
public:
    static std::string document(const std::vector<ListEntry>& entries);
    // What a refused or failed listing answers: well-formed, with no entries.
    static std::string emptyDocument();

    static std::string xmlEscape(const std::string& text);
    static void appendEscaped(std::string& out, const std::string& text);
    // True when the text can stand in an XML 1.0 attribute of a UTF-8 document as it is:
    // valid UTF-8 and no control characters that XML forbids even as references.
    static bool representable(const std::string& text);
    // "YYYY-MM-DD HH:MM" in local time.
    static std::string formatDate(std::time_t when);
};

}  // namespace oxle::server
