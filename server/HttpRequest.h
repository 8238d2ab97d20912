#pragma once

#include <string>

namespace oxle::server {

// The little of HTTP the stream port needs: the request line of a request head.
class HttpRequest {
public:
    // True once the head (up to the empty line) has arrived.
    static bool headComplete(const std::string& received);
    // Method and target of the request line; false when the line is malformed.
    static bool parseRequestLine(const std::string& head, std::string& method, std::string& target);
};

}  // namespace oxle::server
