#include <gtest/gtest.h>

#include "server/RequestParser.h"

namespace oxle::server {
namespace {

struct ParseCase {
    const char* wire;
    bool ok;
    const char* group;
    const char* command;
    std::vector<std::string> args;
};

TEST(RequestParserTest, SplitsTheBoxsRequestsAndKeepsBarsInsidePaths) {
    const ParseCase cases[] = {
        {"VLC|GTI|NO", true, "VLC", "GTI", {"NO"}},
        {"VLC|GTI|", true, "VLC", "GTI", {""}},
        {"VLC|STA", true, "VLC", "STA", {}},
        {"RQS|PSW|se|cret", true, "RQS", "PSW", {"se", "cret"}},
        {"VLC|PLY|/m/a.avi|0|1", true, "VLC", "PLY", {"/m/a.avi", "0", "1"}},
        {"VLC|PLY|/m/a|b|c.avi|120|2", true, "VLC", "PLY", {"/m/a|b|c.avi", "120", "2"}},
        {"VLC|PLY||0|1", true, "VLC", "PLY", {"", "0", "1"}},
        {"VLC|GFL|/m/x|y|", true, "VLC", "GFL", {"/m/x|y|"}},
        {"RQS|NFO|/m/a|b.mp4", true, "RQS", "NFO", {"/m/a|b.mp4"}},
        {"VLC|GTI|NO\r\n", true, "VLC", "GTI", {"NO"}},
        {"VLC|PLY|/m/a.avi|0", false, "", "", {}},
        {"VLC|PLY|/m/a.avi", false, "", "", {}},
        {"VLC|PLY", false, "", "", {}},
        {"VLC|GFL", false, "", "", {}},
        {"hello", false, "", "", {}},
        {"", false, "", "", {}},
        {"|GTI|NO", false, "", "", {}},
        {"VLC||NO", false, "", "", {}},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.wire);
        const ParseResult result = RequestParser::parse(c.wire);
        ASSERT_EQ(result.ok, c.ok) << result.error;
        if (!c.ok) {
            EXPECT_FALSE(result.error.empty());
            continue;
        }
        EXPECT_EQ(result.request.group, c.group);
        EXPECT_EQ(result.request.command, c.command);
        EXPECT_EQ(result.request.args, c.args);
    }
}

TEST(RequestParserTest, RefusesNulBytes) { EXPECT_FALSE(RequestParser::parse(std::string("VLC|GFL|/m\0/x", 13)).ok); }

TEST(RequestParserTest, UndoesTheBoxsBackslashDoubling) {
    EXPECT_EQ(RequestParser::undoubleBackslashes("/m/a\\\\b.avi"), "/m/a\\b.avi");
    EXPECT_EQ(RequestParser::undoubleBackslashes("C:\\\\films\\\\a.avi"), "C:\\films\\a.avi");
    EXPECT_EQ(RequestParser::undoubleBackslashes("/m/a\\b"), "/m/a\\b");
    EXPECT_EQ(RequestParser::undoubleBackslashes("/m/plain.avi"), "/m/plain.avi");
}

TEST(RequestParserTest, ReadsOnlyPlainDecimalNumbers) {
    const std::pair<const char*, bool> cases[] = {{"0", true},    {"120", true}, {"-5", true}, {"", false},
                                                  {"12a", false}, {" 1", false}, {"NO", false}};
    for (const auto& c : cases) {
        long value = 0;
        EXPECT_EQ(RequestParser::parseInt(c.first, value), c.second) << c.first;
    }
    long value = 0;
    ASSERT_TRUE(RequestParser::parseInt("-5", value));
    EXPECT_EQ(value, -5);
}

}  // namespace
}  // namespace oxle::server
