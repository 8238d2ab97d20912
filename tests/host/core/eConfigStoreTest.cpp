#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "CoreTestSupport.h"
#include "DesktopServices.h"
#include "eConfig.h"
#include "eConfigStore.h"

namespace
{
const char* const configPath = "/var/tuxbox/config/enigma/config";

std::string getText(const char* key)
{
	char* value = nullptr;
	if (eConfig::getInstance()->getKey(key, value) != 0)
		return "<absent>";
	std::string out(value);
	free(value);
	return out;
}

int countLines(const std::string& text, const std::string& prefix)
{
	int n = 0;
	size_t pos = 0;
	while (pos < text.size())
	{
		size_t end = text.find('\n', pos);
		if (end == std::string::npos)
			end = text.size();
		if (text.compare(pos, prefix.size(), prefix) == 0)
			++n;
		pos = end + 1;
	}
	return n;
}
} // namespace

TEST(eConfigStore, TypedKeysAndAbsentKeys)
{
	TestRoot root;
	DesktopServices::init();
	eConfig* config = eConfig::getInstance();

	EXPECT_EQ(config->setKey("/a/int", -7), 0);
	EXPECT_EQ(config->setKey("/a/text", "127.0.0.1"), 0);

	int number = 99;
	EXPECT_EQ(config->getKey("/a/int", number), 0);
	EXPECT_EQ(number, -7);
	EXPECT_EQ(getText("/a/text"), "127.0.0.1");

	// Absent keys and keys of the other type leave the value alone.
	number = 99;
	EXPECT_NE(config->getKey("/a/missing", number), 0);
	EXPECT_NE(config->getKey("/a/text", number), 0);
	EXPECT_EQ(number, 99);
	EXPECT_EQ(getText("/a/int"), "<absent>");
	EXPECT_EQ(getText("/a/missing"), "<absent>");

	// The last setKey decides the type.
	EXPECT_EQ(config->setKey("/a/int", "now text"), 0);
	EXPECT_NE(config->getKey("/a/int", number), 0);
	EXPECT_EQ(getText("/a/int"), "now text");

	config->delKey("/a/int");
	EXPECT_EQ(getText("/a/int"), "<absent>");

	// Keys that would break the one-key-a-line file are refused.
	for (const char* bad : {"", "/a=b", "/a\nb"})
	{
		EXPECT_NE(config->setKey(bad, 1), 0) << bad;
		EXPECT_NE(config->setKey(bad, "x"), 0) << bad;
	}
	EXPECT_NE(config->setKey(nullptr, 1), 0);
	EXPECT_NE(config->setKey("/a/null", nullptr), 0);

	const auto sets = root.events("config");
	ASSERT_EQ(sets.size(), 3u);
	EXPECT_EQ(sets[0]["key"], "/a/int");
	EXPECT_EQ(sets[0]["value"], -7);
	EXPECT_EQ(sets[1]["value"], "127.0.0.1");
	ASSERT_EQ(root.events("config_del").size(), 1u);
	EXPECT_EQ(root.events("config_del")[0]["key"], "/a/int");
}

TEST(eConfigStore, MalformedLinesAreSkippedOthersLoad)
{
	TestRoot root;
	const std::string malformed[] = {
		"x:/kind=1",       // unknown type
		"i:/noequals",     // no value
		"i:=5",            // no key
		"i:/int/empty=",   // int without digits
		"i:/int/junk=12a", // trailing junk
		"i:/int/big=99999999999",
		"s:/bad/escape=a\\tb",
		"s:/bad/end=a\\",
		"/bare/key=1",
	};
	std::string file = "i:/good/first=1\n";
	for (const std::string& line : malformed)
		file += line + "\n";
	file += "\ns:/good/text=a=b \\\\ c\\nd\ni:/good/neg=-2147483648\ns:/good/empty=\ni:/good/last=3";
	root.write(configPath, file);

	testing::internal::CaptureStderr();
	DesktopServices::init();
	const std::string diagnostics = testing::internal::GetCapturedStderr();
	EXPECT_EQ(countLines(diagnostics, "W: "), int(sizeof(malformed) / sizeof(malformed[0]))) << diagnostics;

	int number = 0;
	EXPECT_EQ(eConfig::getInstance()->getKey("/good/first", number), 0);
	EXPECT_EQ(number, 1);
	EXPECT_EQ(eConfig::getInstance()->getKey("/good/neg", number), 0);
	EXPECT_EQ(number, -2147483648LL);
	EXPECT_EQ(eConfig::getInstance()->getKey("/good/last", number), 0);
	EXPECT_EQ(number, 3);
	EXPECT_EQ(getText("/good/text"), "a=b \\ c\nd");
	EXPECT_EQ(getText("/good/empty"), "");
	EXPECT_EQ(getText("/bad/escape"), "<absent>");
	EXPECT_NE(eConfig::getInstance()->getKey("/int/junk", number), 0);
}

TEST(eConfigStore, FlushIsAtomicKeepsBackupAndReloads)
{
	TestRoot root;
	const std::string before = "i:/old=1\n";
	root.write(configPath, before);
	DesktopServices::init();
	eConfig* config = eConfig::getInstance();

	const std::string tricky = "line1\nline2\\end\\n=";
	config->setKey("/new/text", tricky.c_str());
	config->setKey("/new/int", 42);
	config->delKey("/old");
	EXPECT_EQ(root.read(configPath), before) << "the file changes only at a flush";
	EXPECT_TRUE(root.events("config_flush").empty());

	config->flush();
	EXPECT_EQ(root.read(std::string(configPath) + ".bak"), before);
	EXPECT_EQ(root.events("config_flush").size(), 1u);
	// Nothing but the store, its backup and nothing half-written beside them.
	int files = 0;
	for (const auto& entry :
		std::filesystem::directory_iterator(std::filesystem::path(root.path(configPath)).parent_path()))
	{
		++files;
		EXPECT_TRUE(entry.path().filename() == "config" || entry.path().filename() == "config.bak") << entry.path();
	}
	EXPECT_EQ(files, 2);

	// What a new start of the host reads back is what was set.
	config->setKey("/new/int", 7); // not flushed: lost on reload
	DesktopServices::init();
	int number = 0;
	EXPECT_EQ(config->getKey("/new/int", number), 0);
	EXPECT_EQ(number, 42);
	EXPECT_EQ(getText("/new/text"), tricky);
	EXPECT_NE(config->getKey("/old", number), 0);

	// A second flush backs up the first one's file.
	const std::string first = root.read(configPath);
	config->setKey("/third", 3);
	config->flush();
	EXPECT_EQ(root.read(std::string(configPath) + ".bak"), first);
}

TEST(eConfigStore, FlushCreatesMissingFoldersButNeverReplacesAnUnreadableStore)
{
	TestRoot root;
	DesktopServices::init(); // no file, no folder yet
	eConfig::getInstance()->setKey("/k", 1);
	eConfig::getInstance()->flush();
	EXPECT_EQ(root.read(configPath), "i:/k=1\n");

	// A store that exists but cannot be read must not be overwritten with an empty one.
	// Here the name is a link to a folder: reading fails, yet a rename would succeed.
	std::filesystem::remove(root.path(configPath));
	std::filesystem::create_directories(root.path("/elsewhere"));
	std::filesystem::create_symlink(root.path("/elsewhere"), root.path(configPath));
	EXPECT_FALSE(eConfigStore::instance().load(root.path(configPath)));
	eConfig::getInstance()->setKey("/k", 2);
	EXPECT_FALSE(eConfigStore::instance().save());
	EXPECT_TRUE(std::filesystem::is_symlink(root.path(configPath)));
}
