#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "Journal.h"
#include "JournalReader.h"
#include "TempDir.h"
#include "eConfigStore.h"

namespace
{
const char* const absent = "<absent>";

class ConfigStoreTest : public testing::Test
{
protected:
	void SetUp() override
	{
		ASSERT_TRUE(dir.ok());
		ASSERT_TRUE(Journal::instance().open(journal));
	}
	void TearDown() override { Journal::instance().close(); }

	// The store as the plugin reads it: a number, a text, or absent.
	static std::string text(const char* key)
	{
		char* value = nullptr;
		if (store.getKey(key, value) != 0)
			return absent;
		std::string out(value);
		free(value);
		return out;
	}
	static std::string number(const char* key)
	{
		int value = 0;
		return store.getKey(key, value) == 0 ? std::to_string(value) : absent;
	}
	std::set<std::string> filesBeside() const
	{
		std::set<std::string> names;
		for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(file).parent_path()))
			names.insert(entry.path().filename().string());
		return names;
	}

	TempDir dir;
	const std::string file = dir / "var/tuxbox/config/enigma/config";
	const std::string journal = dir / "journal";
	static inline eConfigStore& store = eConfigStore::instance();
};
} // namespace

TEST_F(ConfigStoreTest, SetKeyTakesTypedValuesAndRefusesWhatWouldBreakTheFile)
{
	ASSERT_TRUE(store.load(file));
	struct Case
	{
		const char* key;
		bool isInt;
		const char* value; // text keys; null for none
		int number;
		bool accepted;
	};
	const Case cases[] = {
		{"/a/int", true, nullptr, -7, true},
		{"/a/text", false, "127.0.0.1", 0, true},
		{"/a/both", true, nullptr, 5, true},
		{"/a/both", false, "now text", 0, true}, // the last setKey decides the type
		{"", true, nullptr, 1, false},
		{"", false, "x", 0, false},
		{"/a=b", true, nullptr, 1, false},
		{"/a=b", false, "x", 0, false},
		{"/a\nb", true, nullptr, 1, false},
		{"/a\nb", false, "x", 0, false},
		{nullptr, true, nullptr, 1, false},
		{"/a/null", false, nullptr, 0, false},
	};
	int accepted = 0;
	for (const Case& c : cases)
	{
		const int result = c.isInt ? store.setKey(c.key, c.number) : store.setKey(c.key, c.value);
		EXPECT_EQ(result == 0, c.accepted) << (c.key ? c.key : "null");
		accepted += c.accepted;
	}
	EXPECT_EQ(number("/a/int"), "-7");
	EXPECT_EQ(text("/a/int"), absent) << "an int key read as text";
	EXPECT_EQ(text("/a/text"), "127.0.0.1");
	EXPECT_EQ(number("/a/text"), absent);
	EXPECT_EQ(text("/a/both"), "now text");
	EXPECT_EQ(number("/a/both"), absent);
	for (const char* refused : {"", "/a=b", "/a\nb", "/a/null"})
		EXPECT_EQ(text(refused) + number(refused), std::string(absent) + absent) << refused;

	store.delKey("/a/int");
	EXPECT_EQ(number("/a/int"), absent);

	const JournalReader lines(journal);
	const auto sets = lines.all("config");
	ASSERT_EQ(int(sets.size()), accepted);
	EXPECT_EQ(sets[0]["key"], "/a/int");
	EXPECT_EQ(sets[0]["value"], "-7");
	EXPECT_EQ(sets[1]["value"], "127.0.0.1");
	EXPECT_EQ(lines.texts("config_del", "key"), std::vector<std::string>{"/a/int"});
}

TEST_F(ConfigStoreTest, LoadKeepsGoodLinesAndSkipsMalformedOnes)
{
	struct Case
	{
		const char* line;
		const char* key;
		const char* number; // as getKey(int) gives it
		const char* text;   // as getKey(char*) gives it
	};
	const Case cases[] = {
		{"i:/good/first=1", "/good/first", "1", absent},
		{"i:/good/min=-2147483648", "/good/min", "-2147483648", absent},
		{"i:/good/max=2147483647", "/good/max", "2147483647", absent},
		{"s:/good/text=a=b \\\\ c\\nd", "/good/text", absent, "a=b \\ c\nd"},
		{"s:/good/empty=", "/good/empty", absent, ""}, {"x:/kind=1", "/kind", absent, absent},
		{"i:/noequals", "/noequals", absent, absent}, {"i:=5", "", absent, absent},
		{"i:/int/empty=", "/int/empty", absent, absent}, {"i:/int/junk=12a", "/int/junk", absent, absent},
		{"i:/int/over=2147483648", "/int/over", absent, absent},
		{"i:/int/under=-2147483649", "/int/under", absent, absent},
		{"s:/bad/escape=a\\tb", "/bad/escape", absent, absent}, {"s:/bad/end=a\\", "/bad/end", absent, absent},
		{"/bare/key=1", "/bare/key", absent, absent}, {"", "", absent, absent},
		{"i:/good/last=3", "/good/last", "3", absent}, // the file ends without a newline
	};
	std::string content;
	for (const Case& c : cases)
		content += std::string(c.line) + (&c == &cases[std::size(cases) - 1] ? "" : "\n");
	ASSERT_FALSE(dir.file("var/tuxbox/config/enigma/config", content).empty());
	ASSERT_TRUE(store.load(file));
	for (const Case& c : cases)
	{
		EXPECT_EQ(number(c.key), c.number) << c.line;
		EXPECT_EQ(text(c.key), c.text) << c.line;
	}
}

TEST_F(ConfigStoreTest, FlushReplacesTheFileAtOnceAndKeepsTheOldOneAsBackup)
{
	const std::string before = "i:/old=1\n";
	ASSERT_FALSE(dir.file("var/tuxbox/config/enigma/config", before).empty());
	ASSERT_TRUE(store.load(file));
	store.setKey("/new/text", "line1\nline2\\end=");
	store.setKey("/new/int", 42);
	store.delKey("/old");
	EXPECT_EQ(dir.read("var/tuxbox/config/enigma/config"), before) << "the file changes only at a flush";
	EXPECT_EQ(JournalReader(journal).find("config_flush"), JournalReader::npos);

	store.flush();
	EXPECT_EQ(dir.read("var/tuxbox/config/enigma/config"), "i:/new/int=42\ns:/new/text=line1\\nline2\\\\end=\n");
	// The old file became the backup without being written to.
	EXPECT_EQ(dir.read("var/tuxbox/config/enigma/config.bak"), before);
	EXPECT_EQ(filesBeside(), (std::set<std::string>{"config", "config.bak"})) << "nothing half-written is left";
	EXPECT_EQ(JournalReader(journal).all("config_flush").size(), 1u);

	store.setKey("/new/int", 7); // not flushed: gone after a new load
	ASSERT_TRUE(store.load(file));
	EXPECT_EQ(number("/new/int"), "42");
	EXPECT_EQ(text("/new/text"), "line1\nline2\\end=");
	EXPECT_EQ(number("/old"), absent);

	const std::string first = dir.read("var/tuxbox/config/enigma/config");
	store.setKey("/third", 3);
	EXPECT_TRUE(store.save());
	EXPECT_EQ(dir.read("var/tuxbox/config/enigma/config.bak"), first);
}

TEST_F(ConfigStoreTest, FlushMakesMissingFoldersButRefusesToReplaceWhatItCouldNotRead)
{
	ASSERT_TRUE(store.load(file)); // neither file nor folder exist yet
	store.setKey("/k", 1);
	EXPECT_TRUE(store.save());
	EXPECT_EQ(dir.read("var/tuxbox/config/enigma/config"), "i:/k=1\n");

	// The store's name links to a folder: reading fails, yet a rename would succeed.
	std::filesystem::remove(file);
	const std::string elsewhere = dir.subdir("elsewhere");
	std::filesystem::create_symlink(elsewhere, file);
	EXPECT_FALSE(store.load(file));
	store.setKey("/k", 2);
	EXPECT_FALSE(store.save());
	EXPECT_TRUE(std::filesystem::is_symlink(file));

	// A file took the place of the store's folder after the load.
	ASSERT_TRUE(store.load(dir / "blocked/config"));
	ASSERT_FALSE(dir.file("blocked", "x").empty());
	store.setKey("/k", 3);
	EXPECT_FALSE(store.save());
	EXPECT_EQ(dir.read("blocked"), "x");
}
