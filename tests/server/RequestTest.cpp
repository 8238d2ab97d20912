// What the two ports read from the box: command requests and the stream request's head.
#include <gtest/gtest.h>

#include "server/HttpRequest.h"
#include "server/RequestParser.h"

namespace oxle::server {
namespace {

// Each wire text with its group, command and arguments; none where it must be refused.
TEST(RequestTest, SplitsRequestsKeepsBarsInsidePathsAndRefusesMalformedOnes) {
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"VLC|GTI|NO", {"VLC", "GTI", "NO"}},
        {"VLC|STA", {"VLC", "STA"}},
        {"RQS|PSW|se|cret", {"RQS", "PSW", "se", "cret"}},
        {"VLC|PLY|/m/a|b|c.avi|120|2", {"VLC", "PLY", "/m/a|b|c.avi", "120", "2"}},
        {"VLC|GFL|/m/x|y|", {"VLC", "GFL", "/m/x|y|"}},
        {"VLC|GTI|NO\r\n", {"VLC", "GTI", "NO"}},
        {"VLC|PLY|/m/a.avi|0", {}},
        {"VLC|PLY|/m/a.avi", {}},
        {"VLC|PLY||1", {}},
        {"VLC|PLY", {}},
        {"VLC|GFL", {}},
        {"hello", {}},
        {"\r\n", {}},
        {"|GTI|NO", {}},
        {"VLC||NO", {}},
        {std::string("VLC|GFL|/m\0/x", 13), {}},
    };
    for (const auto& [wire, parts] : cases) {
        const ParseResult result = RequestParser::parse(wire);
        EXPECT_EQ(result.error.empty(), result.ok) << wire;
        std::vector<std::string> found;
        if (result.ok) found = {result.request.group, result.request.command};
        found.insert(found.end(), result.request.args.begin(), result.request.args.end());
        EXPECT_EQ(found, parts) << wire << ": " << result.error;
    }
}

TEST(RequestTest, NumbersArePlainDecimalText) {
    const std::pair<const char*, bool> cases[] = {
        {"0", true},    {"120", true}, {"-5", true},  {"", false},
        {"12a", false}, {" 1", false}, {"NO", false}, {"99999999999999999999", false}};
    for (const auto& [text, ok] : cases) {
        long value = 7;
        EXPECT_EQ(RequestParser::parseInt(text, value), ok) << text;
        EXPECT_EQ(std::to_string(value), ok ? text : "7") << "untouched when refused";
    }
}

// The box doubles every backslash of a path it got from a listing before sending it back.
TEST(RequestTest, DoubledBackslashesAreUndone) {
    const std::pair<const char*, const char*> cases[] = {
        {"/m/a\\\\b.avi", "/m/a\\b.avi"}, {"C:\\\\films\\\\a.avi", "C:\\films\\a.avi"},
        {"/m/a\\\\\\\\b", "/m/a\\\\b"},   {"/m/a\\b\\", "/m/a\\b\\"},
        {"/m/plain.avi", "/m/plain.avi"},
    };
    for (const auto& [sent, meant] : cases) EXPECT_EQ(RequestParser::undoubleBackslashes(sent), meant) << sent;
}

TEST(RequestTest, StreamRequestLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"GET /dboxstream HTTP/1.0\r\n\r\n", "GET /dboxstream"},
        {"GET /dboxstream HTTP/1.1\r\nHost: x\r\n\r\n", "GET /dboxstream"},
        {"POST / HTTP/1.0\n\n", "POST /"},
        {"GET /dboxstream\r\n\r\n", "refused"},
        {"GET  HTTP/1.0\r\n\r\n", "refused"},
        {" /dboxstream HTTP/1.0\r\n\r\n", "refused"},
        {"garbage\r\n\r\n", "refused"},
        {"GET /dboxstream FTP/1.0\r\n\r\n", "refused"},
    };
    for (const auto& [head, line] : cases) {
        std::string method;
        std::string target;
        EXPECT_EQ(HttpRequest::parseRequestLine(head, method, target) ? method + " " + target : "refused", line)
            << head;
    }
    EXPECT_TRUE(HttpRequest::headComplete("GET / HTTP/1.0\r\nHost: x\r\n\r\n"));
    EXPECT_TRUE(HttpRequest::headComplete("GET / HTTP/1.0\n\n"));
    EXPECT_FALSE(HttpRequest::headComplete("GET / HTTP/1.0\r\nHost: x\r\n"));
}

}  // namespace
}  // namespace oxle::server
