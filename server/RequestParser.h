#pragma once

#include <string>
#include <vector>

namespace oxle::server {

// One command as the box sends it: group|command|argument[|extra1[|extra2]].
struct Request {
    std::string group;
    std::string command;
    std::vector<std::string> args;
};

struct ParseResult {
    bool ok = false;
    Request request;
    std::string error;  // short diagnostic when !ok
};

// Splits the wire text of a request. Paths may contain bars, so the commands that carry
// a path take it whole: "PLY" everything between the second bar and the last two fields,
// "GFL" and "NFO" everything after the second bar.
class RequestParser {
public:
    static ParseResult parse(const std::string& wire);

    // The box doubles every backslash of a file entry's path before it sends it back;
    // this undoes that so the path names the file again.
    static std::string undoubleBackslashes(const std::string& path);

    // Decimal integer of the whole text (optional sign); false on anything else.
    static bool parseInt(const std::string& text, long& value);
};

}  // namespace oxle::server
