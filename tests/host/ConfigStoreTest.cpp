#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "Journal.h"
#include "JournalReader.h"
#include "TempDir.h"
#include "eConfigStore.h"

namespace
{
const char* const absent = "<absent>";
const char* const storeName = "var/tuxbox/config/enigma/config";

class ConfigStoreTest : public testing::Test
{
protected:
	void SetUp() override
	{
		ASSERT_TRUE(dir.ok());
		ASSERT_TRUE(Journal::instance().open(journal));
	}
	void TearDown() override { Journal::instance().close(); }

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

	TempDir dir;
	const std::string file = dir / storeName;
	const std::string journal = dir / "journal";
	static inline eConfigStore& store = eConfigStore::instance();
};
} // namespace

TEST_F(ConfigStoreTest, FlushReplacesTheFileAtOnceAndKeepsTheOldOneAsBackup)
{
	// Malformed lines are skipped on load, and gone after the flush.
	const std::string before = "i:/old=1\ni:/junk=12a\nx:/kind=1\ni:/kept=2";
	ASSERT_FALSE(dir.file(storeName, before).empty());
	ASSERT_TRUE(store.load(file));
	EXPECT_EQ(number("/kept"), "2") << "the last line needs no newline";
	store.setKey("/new/text", "line1\nline2\\end=");
	store.setKey("/new/int", 42);
	store.setKey("/kept", "now text"); // the last setKey decides the type
	store.delKey("/old");
	// Keys that would break the file are refused.
	EXPECT_NE(store.setKey("/a=b", 1), 0);
	EXPECT_NE(store.setKey("/a\nb", "x"), 0);
	EXPECT_EQ(dir.read(storeName), before) << "the file changes only at a flush";
	EXPECT_EQ(JournalReader(journal).find("config_flush"), JournalReader::npos);

	store.flush();
	EXPECT_EQ(dir.read(storeName), "s:/kept=now text\ni:/new/int=42\ns:/new/text=line1\\nline2\\\\end=\n");
	// The old file became the backup without being written to, and nothing half-written is left.
	EXPECT_EQ(dir.read(std::string(storeName) + ".bak"), before);
	EXPECT_EQ(std::distance(std::filesystem::directory_iterator(std::filesystem::path(file).parent_path()), {}), 2);
	EXPECT_EQ(JournalReader(journal).all("config_flush").size(), 1u);

	store.setKey("/new/int", 7); // not flushed: gone after a new load
	ASSERT_TRUE(store.load(file));
	EXPECT_EQ(number("/new/int"), "42");
	EXPECT_EQ(text("/new/text"), "line1\nline2\\end=");
	EXPECT_EQ(number("/kept") + text("/kept"), std::string(absent) + "now text");
	EXPECT_EQ(number("/old"), absent);

	const std::string first = dir.read(storeName);
	store.setKey("/third", 3);
	EXPECT_TRUE(store.save());
	EXPECT_EQ(dir.read(std::string(storeName) + ".bak"), first);
}

TEST_F(ConfigStoreTest, FlushMakesMissingFoldersButRefusesToReplaceWhatItCouldNotRead)
{
	ASSERT_TRUE(store.load(file)); // neither file nor folder exist yet
	store.setKey("/k", 1);
	EXPECT_TRUE(store.save());
	EXPECT_EQ(dir.read(storeName), "i:/k=1\n");

	// The store's name links to a folder: reading fails, yet a rename would succeed.
	std::filesystem::remove(file);
	std::filesystem::create_symlink(dir.subdir("elsewhere"), file);
	EXPECT_FALSE(store.load(file));
	store.setKey("/k", 2);
	EXPECT_FALSE(store.save());
	EXPECT_TRUE(std::filesystem::is_symlink(file));
}
