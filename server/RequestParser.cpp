#include "server/RequestParser.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace oxle::server {

namespace {

constexpr int kRequestNumberBase = 10;

std::vector<std::string> splitBars(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t bar = text.find('|', start);
        if (bar == std::string::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, bar - start));
        start = bar + 1;
    }
}

ParseResult failure(const std::string& error) {
    ParseResult result;
    result.error = error;
    return result;
}

}  // namespace

ParseResult RequestParser::parse(const std::string& wire) {
    std::string text = wire;
    // Typed by hand (netcat, telnet) a request ends in a line end; the box sends none.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();

    if (text.empty()) return failure("empty request");
    if (text.find('\0') != std::string::npos) return failure("NUL byte in request");

    const std::size_t firstBar = text.find('|');
    if (firstBar == std::string::npos) return failure("no field separator");
    const std::size_t secondBar = text.find('|', firstBar + 1);

    ParseResult result;
    Request& request = result.request;
    request.group = text.substr(0, firstBar);
    if (secondBar == std::string::npos) {
        request.command = text.substr(firstBar + 1);
    } else {
        request.command = text.substr(firstBar + 1, secondBar - firstBar - 1);
    }
    if (request.group.empty() || request.command.empty()) return failure("empty group or command");

    const bool hasRest = secondBar != std::string::npos;
    const std::string rest = hasRest ? text.substr(secondBar + 1) : std::string();

    if (request.command == "PLY") {
        if (!hasRest) return failure("PLY without a path");
        const std::size_t channelBar = rest.rfind('|');
        if (channelBar == std::string::npos || channelBar == 0) {
            return failure("PLY needs path, start offset and audio channel");
        }
        const std::size_t offsetBar = rest.rfind('|', channelBar - 1);
        if (offsetBar == std::string::npos) {
            return failure("PLY needs path, start offset and audio channel");
        }
        request.args.push_back(rest.substr(0, offsetBar));
        request.args.push_back(rest.substr(offsetBar + 1, channelBar - offsetBar - 1));
        request.args.push_back(rest.substr(channelBar + 1));
    } else if (request.command == "GFL" || request.command == "NFO") {
        if (!hasRest) return failure(request.command + " without a path");
        request.args.push_back(rest);
    } else if (hasRest) {
        request.args = splitBars(rest);
    }
    result.ok = true;
    return result;
}

std::string RequestParser::undoubleBackslashes(const std::string& path) {
    std::string out;
    out.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) {
        out.push_back(path[i]);
        if (path[i] == '\\' && i + 1 < path.size() && path[i + 1] == '\\') ++i;
    }
    return out;
}

bool RequestParser::parseInt(const std::string& text, long& value) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const long parsed = std::strtol(text.c_str(), &end, kRequestNumberBase);
    // strtol stops at a NUL byte, which the text may hold: the whole text must be read.
    if (errno != 0 || end != text.c_str() + text.size()) return false;
    // strtol skips leading white space (line ends too); a field with it is not plain
    // decimal text.
    if (std::isspace(static_cast<unsigned char>(text[0]))) return false;
    value = parsed;
    return true;
}

}  // namespace oxle::server
