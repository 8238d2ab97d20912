#pragma once

#include <string>

namespace oxle::server {

// The little of HTTP the stream port needs: the request line of a request head.
class HttpRequest {
public:
    // The answers of the stream port.
    static constexpr const char* kStreamHeader = "HTTP/1.0 200 OK\r\nContent-Type: video/mp2t\r\n\r\n";
    static constexpr const char* kNotFound =
        "HTTP/1.0 404 Not Found\r\nContent-Type: text/plain\r\nContent-Length: 10\r\n\r\nnot found\n";
    static constexpr const char* kForbidden =
        "HTTP/1.0 403 Forbidden\r\nContent-Type: text/plain\r\nContent-Length: 10\r\n\r\nforbidden\n";

    // True once the head (up to the empty line) has arrived.
    static bool headComplete(const std::string& received);
    // Method and target of the request line; false when the line is malformed.
    static bool parseRequestLine(const std::string& head, std::string& method, std::string& target);
};

}  // namespace oxle::server
