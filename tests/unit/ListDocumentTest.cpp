// The list document reader, disc listings and the listing order, on plain strings.
#include <algorithm>
#include <climits>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "ListDocument.h"
#include "PLAYLIST.h"

namespace
{
std::string directory(const std::string& name, const std::string& path)
{
	return "<entry type=\"directory\" name=\"" + name + "\" path=\"" + path + "\"/>";
}

std::string file(const std::string& name, const std::string& path, const std::string& size = "0")
{
	return "<entry type=\"file\" name=\"" + name + "\" path=\"" + path + "\" size=\"" + size +
		"\" pic=\"film.png\" date=\"01.01.2024\"/>";
}

std::string document(const std::string& children)
{
	return "<?xml version=\"1.0\"?>\n<list>" + children + "</list>";
}

std::vector<PLAYLIST> read(const std::string& text, eString& lastPath, const eString& cddrive = "D:")
{
	std::vector<PLAYLIST> entries;
	EXPECT_TRUE(readListDocument(text.c_str(), cddrive, entries, lastPath)) << text;
	return entries;
}

std::vector<std::string> names(const std::vector<PLAYLIST>& entries)
{
	std::vector<std::string> out;
	for (const PLAYLIST& e : entries)
		out.push_back(e.type == TYPE_PARENT ? std::string("<parent>") : std::string(e.name));
	return out;
}
} // namespace

TEST(ListDocument, ListingOrderIsKindThenBytewiseName)
{
	eString lastPath;
	std::vector<PLAYLIST> entries = read(
		document(directory("..", "C:\\films\\..") + directory("Zeta", "C:\\Zeta") + directory("alpha", "C:\\alpha") +
			directory("Beta", "C:\\Beta") + file("b.avi", "C:\\b.avi") + file("A.avi", "C:\\A.avi")),
		lastPath);
	std::sort(entries.begin(), entries.end(), sortByType);
	EXPECT_EQ(names(entries), (std::vector<std::string>{"<parent>", "Beta", "Zeta", "alpha", "A.avi", "b.avi"}));
	EXPECT_EQ(entries[0].path, "C:\\films\\..");
	EXPECT_EQ(entries[1].text, "Beta");
	// The last directory in document order is remembered.
	EXPECT_EQ(lastPath, "C:\\Beta");

	const std::tuple<const char*, const char*, bool> cases[] = {
		{"Zeta", "alpha", true},
		{"ab", "abc", true},
		{"same", "same", false},
		{"z", "\xc3\x84", true},
	};
	for (const auto& [first, second, less] : cases)
	{
		PLAYLIST a, b;
		a.type = b.type = TYPE_FILE;
		a.name = first;
		b.name = second;
		EXPECT_EQ(sortByType(a, b), less) << first << " < " << second;
	}
}

TEST(ListDocument, FloppyAndCdDriveDirectoriesAreLeftOut)
{
	const std::string children =
		directory("A:", "A:/") + directory("C:", "C:/") + directory("d:", "d:/") + directory("D:", "D:/");
	eString lastPath;
	EXPECT_EQ(names(read(document(children), lastPath, "D:")), (std::vector<std::string>{"C:"}));
	// A left-out directory does not set the remembered path either.
	EXPECT_EQ(lastPath, "C:/");
	EXPECT_EQ(names(read(document(children), lastPath, "/media/cdrom")), (std::vector<std::string>{"C:", "d:", "D:"}));
}

TEST(ListDocument, FileEntries)
{
	eString lastPath = "untouched";
	std::vector<PLAYLIST> entries =
		read(document(file("a.avi", "C:\\films\\a.avi", "5368709120") + file("n", "\\\\nas\\n")), lastPath);
	ASSERT_EQ(entries.size(), 2u);
	EXPECT_EQ(entries[0].type, TYPE_FILE);
	EXPECT_EQ(entries[0].path, "C:\\\\films\\\\a.avi"); // the server reads escapes back
	EXPECT_EQ(entries[0].name, "a.avi");
	EXPECT_EQ(entries[0].text, "a.avi");
	EXPECT_EQ(entries[0].pic, "film.png");
	EXPECT_EQ(entries[0].date, "01.01.2024");
	EXPECT_EQ(entries[0].sizeMB, 5120);
	EXPECT_EQ(entries[1].path, "\\\\\\\\nas\\\\n");
	// Files alone leave the remembered path alone.
	EXPECT_EQ(lastPath, "untouched");

	const std::pair<const char*, int> sizes[] = {
		{"1048575", 0},
		{"1048576", 1},
		{"4294967296", 4096},          // read as 64 bits
		{"2251799813685248", INT_MAX}, // 2^31 MiB: held
		{nullptr, 0},
	};
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
		std::vector<PLAYLIST> entries = read(document(directory("..", parentPath)), lastPath);
		ASSERT_EQ(entries.size(), 1u);
		EXPECT_EQ(entries[0].type, TYPE_PARENT);
		EXPECT_EQ(lastPath, remembered) << parentPath;
	}
}

TEST(ListDocument, MissingAttributesAndStrangeElements)
{
	const std::string children = "<entry name=\"no type\" path=\"x\"/>"
								 "<entry type=\"link\" name=\"other type\"/>"
								 "<entry type=\"file\"/>"
								 "<entry type=\"directory\" name=\"nested\" path=\"n\"><entry type=\"file\"/>t</entry>"
								 "<whatever type=\"file\" name=\"any element\" size=\"3145728\"/>";
	eString lastPath;
	std::vector<PLAYLIST> entries = read(document(children), lastPath);
	EXPECT_EQ(names(entries), (std::vector<std::string>{"", "nested", "any element"}));
	EXPECT_EQ(entries.at(0).path, "");
	EXPECT_EQ(entries.at(2).sizeMB, 3);

	// A document that names its encoding is read in it.
	std::vector<PLAYLIST> latin =
		read("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><list>" + file("M\xfcller", "p") + "</list>", lastPath);
	EXPECT_EQ(names(latin), (std::vector<std::string>{"M\xc3\xbcller"}));
}

TEST(ListDocument, RepliesThatAreNoDocumentLeaveEverythingAlone)
{
	const std::string whole = document(directory("Zeta", "C:\\Zeta") + file("a.avi", "C:\\a.avi"));
	const std::string half = whole.substr(0, whole.size() / 2); // the server went away half-way
	const char* const cases[] = {
		"+nok",
		half.c_str(),
		"<?xml version=\"1.0\"?>",
		// Latin-1 in a document that does not say so is no well-formed UTF-8.
		"<list><entry type=\"file\" name=\"M\xfcller.avi\"/></list>",
		nullptr,
	};
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
	struct Case
	{
		int mode;
		const char *drive, *first, *last, *title;
	};
	const Case cases[] = {
		{MODE_DVD, "D:", "dvdsimple://D:@1:01-", "dvdsimple://D:@1:20-", "OXLE: DVD Drive - D:"},
		{MODE_VCD, "D:", "vcdx://D:@1:01-", "vcdx://D:@1:20-", "OXLE: (S)VCD Drive - D:"},
		{MODE_SVCD, "D:", "vcdx://D:@1:01-", "vcdx://D:@1:20-", "OXLE: (S)SVCD Drive - D:"},
	};
	for (const Case& c : cases)
	{
		const std::vector<PLAYLIST> chapters = discListing(c.mode, c.drive);
		ASSERT_EQ(chapters.size(), 20u) << c.mode;
		EXPECT_EQ(chapters.front().path, c.first);
		EXPECT_EQ(chapters.back().path, c.last);
		EXPECT_EQ(discTitle(c.mode, c.drive), c.title);
	}
	const PLAYLIST tenth = discListing(MODE_DVD, "D:")[9];
	EXPECT_EQ(tenth.name, "Play Chapter (if it exists) 10");
	EXPECT_EQ(tenth.text, tenth.name);
	EXPECT_EQ(tenth.type, TYPE_FILE);
	EXPECT_EQ(tenth.pic, "film.png");
	for (int other : {int(MODE_FILES), 7})
	{
		EXPECT_TRUE(discListing(other, "D:").empty());
		EXPECT_EQ(discTitle(other, "D:"), "");
	}
}
