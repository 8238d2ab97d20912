#include <gtest/gtest.h>

#include "server/HttpRequest.h"

namespace oxle::server {
namespace {

TEST(HttpRequestTest, ReadsTheRequestLine) {
    struct Case {
        const char* head;
        bool ok;
        const char* method;
        const char* target;
    };
    const Case cases[] = {
        {"GET /dboxstream HTTP/1.0\r\n\r\n", true, "GET", "/dboxstream"},
        {"GET /dboxstream HTTP/1.1\r\nHost: x\r\n\r\n", true, "GET", "/dboxstream"},
        {"POST /other HTTP/1.0\n\n", true, "POST", "/other"},
        {"GET /dboxstream\r\n\r\n", false, "", ""},
        {"GET  HTTP/1.0\r\n\r\n", false, "", ""},
        {"garbage\r\n\r\n", false, "", ""},
        {"GET /dboxstream FTP/1.0\r\n\r\n", false, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.head);
        std::string method;
        std::string target;
        ASSERT_EQ(HttpRequest::parseRequestLine(c.head, method, target), c.ok);
        if (!c.ok) continue;
        EXPECT_EQ(method, c.method);
        EXPECT_EQ(target, c.target);
    }
}

TEST(HttpRequestTest, HeadEndsWithAnEmptyLine) {
    EXPECT_TRUE(HttpRequest::headComplete("GET / HTTP/1.0\r\n\r\n"));
    EXPECT_TRUE(HttpRequest::headComplete("GET / HTTP/1.0\n\n"));
    EXPECT_FALSE(HttpRequest::headComplete("GET / HTTP/1.0\r\n"));
}

}  // namespace
}  // namespace oxle::server
