// The list document reader, disc listings and the listing order, on plain strings.
#include <algorithm>
#include <climits>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "../browser/ListXml.h"
#include "ListDocument.h"
#include "PLAYLIST.h"

namespace
{
std::vector<std::string> names(const std::vector<PLAYLIST>& entries)
{
	std::vector<std::string> out;
	for (const PLAYLIST& e : entries)
		out.push_back(e.type == TYPE_PARENT ? std::string("<parent>") : std::string(e.name));
	return out;
}

std::vector<PLAYLIST> read(const std::string& text, eString& lastPath, const eString& cddrive = "D:")
{
	std::vector<PLAYLIST> entries;
	EXPECT_TRUE(readListDocument(text.c_str(), cddrive, entries, lastPath)) << text;
	return entries;
}
} // namespace

TEST(ListDocument, ListingOrderIsKindThenBytewiseName)
{
	eString lastPath;
	std::vector<PLAYLIST> entries = read(
		listDocument(dirElement("..", "C:\\films\\..") + dirElement("Zeta", "C:\\Zeta") +
			dirElement("alpha", "C:\\alpha") + dirElement("\xc3\x84", "C:\\\xc3\x84") + dirElement("Beta", "C:\\Beta") +
			fileElement("b.avi", "C:\\b.avi") + fileElement("A.avi", "C:\\A.avi")),
		lastPath);
	std::sort(entries.begin(), entries.end(), sortByType);
	EXPECT_EQ(
		names(entries), (std::vector<std::string>{"<parent>", "Beta", "Zeta", "alpha", "\xc3\x84", "A.avi", "b.avi"}));
	EXPECT_EQ(entries[1].text, "Beta");
	EXPECT_EQ(lastPath, "C:\\Beta"); // the last directory in document order
}

TEST(ListDocument, FloppyAndCdDriveDirectoriesAreLeftOut)
{
	const std::string children =
		dirElement("A:", "A:/") + dirElement("C:", "C:/") + dirElement("d:", "d:/") + dirElement("D:", "D:/");
	eString lastPath;
	EXPECT_EQ(names(read(listDocument(children), lastPath, "D:")), (std::vector<std::string>{"C:"}));
	EXPECT_EQ(lastPath, "C:/"); // nor is a left-out one remembered
	EXPECT_EQ(
		names(read(listDocument(children), lastPath, "/media/cdrom")), (std::vector<std::string>{"C:", "d:", "D:"}));
}

TEST(ListDocument, FileEntriesAndMissingAttributes)
{
	eString lastPath = "untouched";
	std::vector<PLAYLIST> entries =
		read(listDocument(fileElement("a.avi", "C:\\films\\a.avi", "film.png", "5368709120") +
				 "<entry type=\"link\" name=\"other type\"/><entry type=\"file\"/>"
				 "<whatever type=\"file\" name=\"any element\" size=\"3145728\"/>"),
			lastPath);
	EXPECT_EQ(names(entries), (std::vector<std::string>{"a.avi", "", "any element"}));
	EXPECT_EQ(entries[0].path, "C:\\\\films\\\\a.avi"); // the server reads escapes back
	EXPECT_EQ(entries[0].pic, "film.png");
	EXPECT_EQ(entries[0].date, "01.01.2024");
	EXPECT_EQ(entries[0].sizeMB, 5120);
	EXPECT_EQ(entries[2].sizeMB, 3);
	EXPECT_EQ(lastPath, "untouched"); // files alone leave the remembered path alone
	const std::pair<const char*, int> sizes[] = {
		{"1048575", 0}, {"1048576", 1}, {"4294967296", 4096}, {"2251799813685248", INT_MAX}, {nullptr, 0}};
	for (const auto& [size, sizeMB] : sizes)
		EXPECT_EQ(sizeInMB(size), sizeMB) << (size ? size : "(absent)");
}

TEST(ListDocument, ParentEntryRemembersThePathWithoutItsDots)
{
	const std::pair<const char*, const char*> cases[] = {
		{"C:\\films\\..", "C:\\films"}, {"/..", ""}, {"..", ".."}, // shorter than separator and dots: kept whole
	};
	for (const auto& [parentPath, remembered] : cases)
	{
		eString lastPath;
		EXPECT_EQ(
			names(read(listDocument(dirElement("..", parentPath)), lastPath)), std::vector<std::string>{"<parent>"});
		EXPECT_EQ(lastPath, remembered) << parentPath;
	}
}

TEST(ListDocument, RepliesThatAreNoDocumentLeaveEverythingAlone)
{
	const std::string whole = listDocument(dirElement("Zeta", "C:\\Zeta") + fileElement("a.avi", "C:\\a.avi"));
	const std::string half = whole.substr(0, whole.size() / 2); // the server went away half-way
	// Latin-1 in a document that does not say so is no well-formed UTF-8.
	const char* const cases[] = {"+nok", half.c_str(), "<?xml version=\"1.0\"?>",
		"<list><entry type=\"file\" name=\"M\xfcller.avi\"/></list>", nullptr};
	for (const char* text : cases)
	{
		std::vector<PLAYLIST> entries(1);
		entries[0].name = "kept";
		eString lastPath = "kept";
		EXPECT_FALSE(readListDocument(text, "D:", entries, lastPath)) << (text ? text : "(null)");
		EXPECT_EQ(names(entries), (std::vector<std::string>{"kept"}));
		EXPECT_EQ(lastPath, "kept");
	}
}

TEST(ListDocument, DiscListingsOfferTwentyChapters)
{
	const std::tuple<int, const char*, const char*> cases[] = {{MODE_DVD, "dvdsimple://D:@1:", "OXLE: DVD Drive - D:"},
		{MODE_VCD, "vcdx://D:@1:", "OXLE: (S)VCD Drive - D:"}, {MODE_SVCD, "vcdx://D:@1:", "OXLE: (S)SVCD Drive - D:"}};
	for (const auto& [mode, prefix, title] : cases)
	{
		const std::vector<PLAYLIST> chapters = discListing(mode, "D:");
		ASSERT_EQ(chapters.size(), 20u) << mode;
		EXPECT_EQ(chapters.front().path, std::string(prefix) + "01-");
		EXPECT_EQ(chapters.back().path, std::string(prefix) + "20-");
		EXPECT_EQ(discTitle(mode, "D:"), title);
	}
	const PLAYLIST tenth = discListing(MODE_DVD, "D:")[9];
	EXPECT_EQ(tenth.text, "Play Chapter (if it exists) 10");
	EXPECT_EQ(tenth.type, TYPE_FILE);
	for (int other : {int(MODE_FILES), 7})
		EXPECT_TRUE(discListing(other, "D:").empty() && discTitle(other, "D:") == "");
}
