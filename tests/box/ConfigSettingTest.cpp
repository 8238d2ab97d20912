#include <gtest/gtest.h>

#include "BoxOptions.h"

TEST(ConfigSettingTest, ParsesIntegerAndTextValues)
{
	struct Case
	{
		const char* arg;
		const char* key;
		bool isInt;
		int number;
		const char* text;
	};
	const Case cases[] = {
		{"/enigma/plugins/oxle/serverport=i:12050", "/enigma/plugins/oxle/serverport", true, 12050, ""},
		{"/a=i:-7", "/a", true, -7, ""},
		{"/a=i:2147483647", "/a", true, 2147483647, ""},
		{"/enigma/plugins/oxle/serverip=s:127.0.0.5", "/enigma/plugins/oxle/serverip", false, 0, "127.0.0.5"},
		{"/a=s:", "/a", false, 0, ""},
		{"/a=s:x=y:z", "/a", false, 0, "x=y:z"},
	};
	for (const Case& c : cases)
	{
		ConfigSetting s;
		std::string error;
		ASSERT_TRUE(ConfigSetting::parse(c.arg, s, error)) << c.arg << ": " << error;
		EXPECT_EQ(s.key, c.key) << c.arg;
		EXPECT_EQ(s.isInt, c.isInt) << c.arg;
		if (c.isInt)
			EXPECT_EQ(s.intValue, c.number) << c.arg;
		else
			EXPECT_EQ(s.text, c.text) << c.arg;
	}
}

TEST(ConfigSettingTest, RejectsMalformedSettings)
{
	const char* const cases[] = {"", "/a", "=s:x", "/a=", "/a=x:1", "/a=i:", "/a=i:12a", "/a=i: 5", "/a=i:0x10",
		"/a=i:2147483648", "/a=i:-99999999999", "/a=S:text"};
	for (const char* arg : cases)
	{
		ConfigSetting s;
		s.key = "untouched";
		std::string error;
		EXPECT_FALSE(ConfigSetting::parse(arg, s, error)) << arg;
		EXPECT_EQ(s.key, "untouched") << arg;
		EXPECT_FALSE(error.empty()) << arg;
	}
}
