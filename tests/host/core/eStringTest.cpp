#include <gtest/gtest.h>

#include "BoxRoot.h"
#include "boxPath.h"
#include "eString.h"

TEST(eString, SprintfNeverTruncates)
{
	const std::string longText(5000, 'x');
	EXPECT_EQ(eString::sprintf("<%s>%d", longText.c_str(), 42), "<" + longText + ">42");
	EXPECT_EQ(eString::sprintf("%s", ""), "");
}

TEST(eString, MidLeftRight)
{
	const eString s("abcdef");
	struct Case
	{
		eString got;
		const char* want;
	} cases[] = {
		{s.mid(2, 3), "cde"},
		{s.mid(4), "ef"},
		{s.mid(5, 100), "f"},
		{s.mid(6), ""},
		{s.mid(100, 2), ""},
		{s.left(0), ""},
		{s.left(3), "abc"},
		{s.left(100), "abcdef"},
		{s.right(2), "ef"},
		{s.right(6), "abcdef"},
		{s.right(100), "abcdef"},
		{s.right(0), ""},
	};
	for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i)
		EXPECT_EQ(cases[i].got, cases[i].want) << "case " << i;
}

TEST(eString, UpperTouchesAsciiOnly)
{
	eString s("ab\xe4Z9-\xfc"
			  "c");
	EXPECT_EQ(&s.upper(), &s);
	EXPECT_EQ(s,
		"AB\xe4Z9-\xfc"
		"C");
}

TEST(eString, StrReplace)
{
	struct Case
	{
		const char* text;
		const char* from;
		const char* to;
		const char* want;
	} cases[] = {
		{"a\\b\\c", "\\", "\\\\", "a\\\\b\\\\c"}, // the replacement holds the searched text
		{"aaaa", "aa", "b", "bb"},
		{"aaa", "aa", "b", "ba"},
		{"abc", "", "x", "abc"},
		{"abc", nullptr, "x", "abc"},
		{"abc", "abc", "", ""},
		{"abc", "d", "x", "abc"},
		{"", "a", "b", ""},
	};
	for (const Case& c : cases)
	{
		eString s(c.text);
		EXPECT_EQ(s.strReplace(c.from, c.to), c.want) << c.text << " / " << (c.from ? c.from : "null");
	}
}

TEST(eString, GetHex)
{
	const struct
	{
		int c;
		int want;
	} cases[] = {{'0', 0}, {'9', 9}, {'a', 10}, {'f', 15}, {'A', 10}, {'F', 15}, {'g', -1}, {'G', -1}, {'/', -1},
		{':', -1}, {'@', -1}, {'`', -1}, {0, -1}, {0xe4, -1}};
	for (const auto& c : cases)
		EXPECT_EQ(getHex(c.c), c.want) << c.c;
}

TEST(BoxPath, RootGoesInFrontOfAbsolutePaths)
{
	const struct
	{
		const char* root;
		const char* path;
		const char* want;
	} cases[] = {
		{"", "/dev/pvr", "/dev/pvr"},
		{"/tmp/box", "/dev/pvr", "/tmp/box/dev/pvr"},
		{"/tmp/box/", "/dev/pvr", "/tmp/box/dev/pvr"},
		{"/", "/dev/pvr", "/dev/pvr"},
		{"/tmp/box", "relative/file", "relative/file"},
		{"/tmp/box", "", ""},
	};
	for (const auto& c : cases)
	{
		setBoxRoot(c.root);
		EXPECT_EQ(boxPath(c.path), c.want) << c.root << " + " << c.path;
	}
	setBoxRoot("");
	EXPECT_EQ(boxPath(nullptr), "");
}
