// The list document reader, disc listings and the listing order, on plain strings.
#include <algorithm>
#include <climits>
#include <string>
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

std::string file(const std::string& name, const std::string& path, const std::string& size = "0",
	const std::string& pic = "film.png", const std::string& date = "01.01.2024")
{
	return "<entry type=\"file\" name=\"" + name + "\" path=\"" + path + "\" size=\"" + size + "\" pic=\"" + pic +
		"\" date=\"" + date + "\"/>";
}

std::string document(const std::string& children)
{
	return "<?xml version=\"1.0\"?>\n<list>" + children + "</list>";
}

std::vector<PLAYLIST> read(const std::string& text, const eString& cddrive = "D:", eString* lastPath = nullptr)
{
	std::vector<PLAYLIST> entries;
	eString path = "untouched";
	EXPECT_TRUE(readListDocument(text.c_str(), cddrive, entries, path)) << text;
	if (lastPath)
		*lastPath = path;
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
	std::vector<PLAYLIST> entries =
		read(document(directory("..", "C:\\films\\..") + directory("Zeta", "C:\\films\\Zeta") +
				 directory("alpha", "C:\\films\\alpha") + directory("Beta", "C:\\films\\Beta") +
				 file("b.avi", "C:\\films\\b.avi") + file("A.avi", "C:\\films\\A.avi")),
			"D:", &lastPath);
	std::sort(entries.begin(), entries.end(), sortByType);

	EXPECT_EQ(names(entries), (std::vector<std::string>{"<parent>", "Beta", "Zeta", "alpha", "A.avi", "b.avi"}));
	EXPECT_EQ(entries[0].text, "");
	EXPECT_EQ(entries[0].path, "C:\\films\\..");
	EXPECT_EQ(entries[1].text, "Beta");
	EXPECT_EQ(entries[1].pic, "");
	// The last directory element in document order decides the remembered path.
	EXPECT_EQ(lastPath, "C:\\films\\Beta");
}

TEST(ListDocument, FloppyAndCdDriveDirectoriesAreLeftOut)
{
	struct Case
	{
		const char* cddrive;
		std::vector<std::string> kept;
	};
	const std::string children = directory("A:", "A:/") + directory("C:", "C:/") + directory("d:", "d:/") +
		directory("D:", "D:/") + directory("E:", "E:/");
	const Case cases[] = {
		{"D:", {"C:", "E:"}},
		{"E:", {"C:", "d:", "D:"}},
		{"/media/cdrom", {"C:", "d:", "D:", "E:"}},
	};
	for (const Case& c : cases)
	{
		eString lastPath;
		std::vector<PLAYLIST> entries = read(document(children), c.cddrive, &lastPath);
		EXPECT_EQ(names(entries), c.kept) << c.cddrive;
		// A left-out directory does not set the remembered path either.
		EXPECT_EQ(lastPath, eString(c.kept.back()) + "/") << c.cddrive;
	}
}

TEST(ListDocument, FileEntriesCarryDoubledBackslashesAndWholeMebibytes)
{
	struct Case
	{
		const char* size;
		int sizeMB;
	};
	const Case cases[] = {
		{"0", 0},
		{"1048575", 0},
		{"1048576", 1},
		{"2097152", 2},
		{"2147483647", 2047},
		{"2147483648", 2048},              // 2 GiB: no longer fits 32 bits
		{"4294967296", 4096},              // 4 GiB
		{"5368709120", 5120},              // 5 GiB
		{"99999999999999999999", INT_MAX}, // beyond 64 bits
		{"-5", 0},
		{"junk", 0},
		{"", 0},
	};
	for (const Case& c : cases)
	{
		std::vector<PLAYLIST> entries = read(document(file("a.avi", "C:\\films\\a.avi", c.size, "film.png", "today")));
		ASSERT_EQ(entries.size(), 1u);
		EXPECT_EQ(entries[0].sizeMB, c.sizeMB) << c.size;
	}

	std::vector<PLAYLIST> entries = read(document(file("a.avi", "C:\\films\\a.avi") + file("n", "\\\\nas\\share\\n")));
	ASSERT_EQ(entries.size(), 2u);
	EXPECT_EQ(entries[0].type, TYPE_FILE);
	EXPECT_EQ(entries[0].path, "C:\\\\films\\\\a.avi");
	EXPECT_EQ(entries[0].name, "a.avi");
	EXPECT_EQ(entries[0].text, "a.avi");
	EXPECT_EQ(entries[0].pic, "film.png");
	EXPECT_EQ(entries[0].date, "01.01.2024");
	EXPECT_EQ(entries[0].startOffset, 0);
	EXPECT_EQ(entries[1].path, "\\\\\\\\nas\\\\share\\\\n");
}

TEST(ListDocument, ParentEntriesAndTheRememberedPath)
{
	struct Case
	{
		const char* parentPath;
		const char* lastPath;
	};
	const Case cases[] = {
		{"C:\\films\\..", "C:\\films"},
		{"/srv/media/..", "/srv/media"},
		{"..", ".."}, // shorter than separator and dots: kept whole
		{"", ""},
	};
	for (const Case& c : cases)
	{
		eString lastPath;
		std::vector<PLAYLIST> entries = read(document(directory("..", c.parentPath)), "D:", &lastPath);
		ASSERT_EQ(entries.size(), 1u);
		EXPECT_EQ(entries[0].type, TYPE_PARENT);
		EXPECT_EQ(lastPath, c.lastPath) << c.parentPath;
	}

	std::vector<PLAYLIST> two = read(document(directory("..", "C:\\a\\..") + directory("..", "C:\\b\\..")));
	std::sort(two.begin(), two.end(), sortByType);
	ASSERT_EQ(two.size(), 2u);
	EXPECT_EQ(two[0].type, TYPE_PARENT);
	EXPECT_EQ(two[1].type, TYPE_PARENT);

	// A document of files only leaves the remembered path alone.
	eString lastPath;
	read(document(file("x", "y")), "D:", &lastPath);
	EXPECT_EQ(lastPath, "untouched");
}

TEST(ListDocument, MissingAttributesAndStrangeElements)
{
	const std::string children =
		"<entry name=\"no type\" path=\"x\"/>"
		"<entry type=\"link\" name=\"other type\"/>"
		"<entry type=\"file\"/>"
		"<entry type=\"directory\"/>"
		"<entry type=\"directory\" name=\"nested\" path=\"n\"><entry type=\"file\" name=\"inner\"/>text</entry>"
		"<whatever type=\"file\" name=\"any element name\" path=\"p\" size=\"3145728\"/>";
	// An empty directory name matches an empty CD drive name, so give the drive one.
	std::vector<PLAYLIST> entries = read(document(children), "D:");
	ASSERT_EQ(entries.size(), 4u);
	EXPECT_EQ(entries[0].type, TYPE_FILE);
	EXPECT_EQ(entries[0].name, "");
	EXPECT_EQ(entries[0].path, "");
	EXPECT_EQ(entries[0].sizeMB, 0);
	EXPECT_EQ(entries[1].type, TYPE_DIRECTORY);
	EXPECT_EQ(entries[1].name, "");
	EXPECT_EQ(entries[2].name, "nested");
	EXPECT_EQ(entries[3].name, "any element name");
	EXPECT_EQ(entries[3].sizeMB, 3);
}

TEST(ListDocument, RepliesThatAreNoDocumentLeaveEverythingAlone)
{
	const std::string whole = document(directory("Zeta", "C:\\Zeta") + file("a.avi", "C:\\a.avi"));
	const std::string cases[] = {
		"",
		"+nok",
		"hello, this is no XML",
		whole.substr(0, whole.size() / 2), // the server went away half-way
		"<list><entry type=\"file\" name=\"a\"></list>",
		"<?xml version=\"1.0\"?>",
		// Latin-1 bytes in a document that does not say so are not well-formed UTF-8.
		"<list><entry type=\"file\" name=\"M\xfcller.avi\"/></list>",
	};
	for (const std::string& text : cases)
	{
		std::vector<PLAYLIST> entries(1);
		entries[0].name = "kept";
		eString lastPath = "kept";
		EXPECT_FALSE(readListDocument(text.c_str(), "D:", entries, lastPath)) << text;
		ASSERT_EQ(entries.size(), 1u);
		EXPECT_EQ(entries[0].name, "kept");
		EXPECT_EQ(lastPath, "kept");
	}
	std::vector<PLAYLIST> entries;
	eString lastPath;
	EXPECT_FALSE(readListDocument(nullptr, "D:", entries, lastPath));
}

TEST(ListDocument, NamesBeyondAsciiKeepTheirBytesAndSortLast)
{
	const std::string umlaut = "\xc3\x84rger"; // UTF-8 A-umlaut
	std::vector<PLAYLIST> entries =
		read(document(file(umlaut, "C:\\" + umlaut) + file("zebra", "C:\\zebra") + file("Zebra", "C:\\Zebra")));
	std::sort(entries.begin(), entries.end(), sortByType);
	EXPECT_EQ(names(entries), (std::vector<std::string>{"Zebra", "zebra", umlaut}));

	// A document that names its encoding is read in it.
	std::vector<PLAYLIST> latin =
		read("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><list>" + file("M\xfcller", "p") + "</list>");
	ASSERT_EQ(latin.size(), 1u);
	EXPECT_EQ(latin[0].name, "M\xc3\xbcller");
}

TEST(ListDocument, FiftyThousandEntries)
{
	const int count = 50000;
	std::string children;
	children.reserve(size_t(count) * 120);
	for (int i = count; i > 0; --i)
		children += file("f" + std::to_string(i), "C:\\f" + std::to_string(i), std::to_string(i * 1048576LL));
	std::vector<PLAYLIST> entries = read(document(children));
	ASSERT_EQ(entries.size(), size_t(count));
	std::sort(entries.begin(), entries.end(), sortByType);
	EXPECT_EQ(entries.front().name, "f1");
	EXPECT_EQ(entries.back().name, "f9999");
	EXPECT_EQ(entries.front().sizeMB, 1);
}

TEST(ListDocument, DiscListings)
{
	std::vector<PLAYLIST> dvd = discListing(MODE_DVD, "D:");
	ASSERT_EQ(dvd.size(), 20u);
	EXPECT_EQ(dvd.front().path, "dvdsimple://D:@1:01-");
	EXPECT_EQ(dvd[9].path, "dvdsimple://D:@1:10-");
	EXPECT_EQ(dvd.back().path, "dvdsimple://D:@1:20-");
	for (size_t i = 0; i < dvd.size(); ++i)
	{
		char expected[64];
		std::snprintf(expected, sizeof expected, "Play Chapter (if it exists) %02d", int(i) + 1);
		EXPECT_EQ(dvd[i].name, expected);
		EXPECT_EQ(dvd[i].text, expected);
		EXPECT_EQ(dvd[i].type, TYPE_FILE);
		EXPECT_EQ(dvd[i].pic, "film.png");
		EXPECT_EQ(dvd[i].sizeMB, 0);
		EXPECT_EQ(dvd[i].date, "");
	}
	EXPECT_EQ(discListing(MODE_DVD, "/media/cdrom").front().path, "dvdsimple:///media/cdrom@1:01-");
	EXPECT_EQ(discListing(MODE_VCD, "D:").front().path, "vcdx://D:@1:01-");
	EXPECT_EQ(discListing(MODE_SVCD, "D:").back().path, "vcdx://D:@1:20-");
	EXPECT_TRUE(discListing(MODE_FILES, "D:").empty());
	EXPECT_TRUE(discListing(7, "D:").empty());

	EXPECT_EQ(discTitle(MODE_VCD, "D:"), "OXLE: (S)VCD Drive - D:");
	EXPECT_EQ(discTitle(MODE_SVCD, "D:"), "OXLE: (S)SVCD Drive - D:");
	EXPECT_EQ(discTitle(MODE_DVD, "/media/cdrom"), "OXLE: DVD Drive - /media/cdrom");
	EXPECT_EQ(discTitle(7, "D:"), "");
}

TEST(ListDocument, NameOrderIsUnsignedBytes)
{
	struct Case
	{
		const char* a;
		const char* b;
		bool less;
	};
	const Case cases[] = {
		{"Zeta", "alpha", true}, // every upper-case letter first
		{"alpha", "Zeta", false},
		{"ab", "abc", true}, // a prefix first
		{"abc", "ab", false},
		{"same", "same", false},
		{"z", "\xc3\x84", true}, // bytes over 127 after ASCII
		{"", "a", true},
	};
	for (const Case& c : cases)
	{
		PLAYLIST a, b;
		a.name = c.a;
		b.name = c.b;
		a.type = b.type = TYPE_FILE;
		EXPECT_EQ(sortByName(a, b), c.less) << c.a << " < " << c.b;
		EXPECT_EQ(sortByType(a, b), c.less) << c.a << " < " << c.b;
	}
	PLAYLIST dir, parent;
	dir.type = TYPE_DIRECTORY;
	dir.name = "A";
	parent.type = TYPE_PARENT;
	parent.name = "Z";
	EXPECT_TRUE(sortByType(parent, dir));
	EXPECT_FALSE(sortByType(dir, parent));
}
