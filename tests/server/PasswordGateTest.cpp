#include <gtest/gtest.h>

#include "server/PasswordGate.h"

namespace oxle::server {
namespace {

TEST(PasswordGateTest, WithoutPasswordEveryoneMayList) {
    PasswordGate gate("");
    EXPECT_TRUE(gate.allowed("127.0.0.2"));
    EXPECT_TRUE(gate.offer("127.0.0.2", "anything"));
}

TEST(PasswordGateTest, GrantsPerAddressForTwelveHours) {
    PasswordGate gate("secret");
    const auto start = PasswordGate::Clock::now();
    EXPECT_FALSE(gate.allowed("127.0.0.2", start));
    EXPECT_FALSE(gate.offer("127.0.0.2", "wrong", start));
    EXPECT_FALSE(gate.offer("127.0.0.2", "secre", start));
    EXPECT_FALSE(gate.offer("127.0.0.2", "secret!", start));
    EXPECT_FALSE(gate.allowed("127.0.0.2", start));

    EXPECT_TRUE(gate.offer("127.0.0.2", "secret", start));
    EXPECT_TRUE(gate.allowed("127.0.0.2", start + std::chrono::hours(11)));
    EXPECT_FALSE(gate.allowed("127.0.0.3", start)) << "another box must send it too";
    EXPECT_FALSE(gate.allowed("127.0.0.2", start + std::chrono::hours(12) + std::chrono::seconds(1)));
}

}  // namespace
}  // namespace oxle::server
