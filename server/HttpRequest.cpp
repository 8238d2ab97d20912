#include "server/HttpRequest.h"

namespace oxle::server {

bool HttpRequest::headComplete(const std::string& received) {
    return received.find("\r\n\r\n") != std::string::npos || received.find("\n\n") != std::string::npos;
}

bool HttpRequest::parseRequestLine(const std::string& head, std::string& method, std::string& target) {
    const std::size_t lineEnd = head.find('\n');
    std::string line = head.substr(0, lineEnd);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t firstSpace = line.find(' ');
    if (firstSpace == std::string::npos || firstSpace == 0) return false;
    const std::size_t secondSpace = line.find(' ', firstSpace + 1);
    if (secondSpace == std::string::npos || secondSpace == firstSpace + 1) return false;
    const std::string version = line.substr(secondSpace + 1);
    if (version.compare(0, 5, "HTTP/") != 0) return false;
    method = line.substr(0, firstSpace);
    target = line.substr(firstSpace + 1, secondSpace - firstSpace - 1);
    return true;
}

}  // namespace oxle::server
