#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include "BoxProcess.h"
#include "RootSeeder.h"
#include "eConfigStore.h"

namespace fs = std::filesystem;

namespace
{
const char* const serverIpKey = "/enigma/plugins/oxle/serverip";
const char* const serverPortKey = "/enigma/plugins/oxle/serverport";
const char* const picturesDir = "/var/tuxbox/config/enigma/pictures/oxle";

std::string readFile(const std::string& path)
{
	std::ifstream in(path, std::ios::binary);
	std::ostringstream text;
	text << in.rdbuf();
	return text.str();
}

std::string configText(const std::string& root, const char* key)
{
	eConfigStore& store = eConfigStore::instance();
	if (!store.load(root + "/var/tuxbox/config/enigma/config"))
		return "<unreadable>";
	char* value = nullptr;
	if (store.getKey(key, value) != 0)
		return "<absent>";
	std::string text = value;
	free(value);
	return text;
}

int configInt(const std::string& root, const char* key)
{
	eConfigStore& store = eConfigStore::instance();
	int value = -1;
	if (!store.load(root + "/var/tuxbox/config/enigma/config") || store.getKey(key, value) != 0)
		return -1;
	return value;
}

BoxRun runExit(const std::string& root, const ScratchDir& dir, std::vector<std::string> extra = {})
{
	std::vector<std::string> args = {
		"--plugin", fixturePlugin, "--root", root, "--timeout", "30", "--keys", dir.write("keys.txt", "exit\n")};
	args.insert(args.end(), extra.begin(), extra.end());
	return runBox(args);
}
} // namespace

TEST(BoxSeedTest, NewRootGetsWhatTheBoxHas)
{
	ScratchDir dir;
	const std::string root = dir / "fresh/box";
	BoxRun run = runExit(root, dir);
	ASSERT_EQ(run.exitCode, 0) << run.output;

	EXPECT_EQ(configText(root, serverIpKey), "127.0.0.1");
	EXPECT_EQ(readFile(root + "/etc/network/interfaces"), RootSeeder::interfacesSample);
	for (const char* folder : {"/var/etc", "/var/run", "/var/bin"})
		EXPECT_TRUE(fs::is_directory(root + folder)) << folder;
	struct stat st = {};
	ASSERT_EQ(stat((root + "/dev/pvr").c_str(), &st), 0);
	EXPECT_TRUE(S_ISFIFO(st.st_mode));

	std::error_code ec;
	int pictures = 0;
	for (const auto& entry : fs::directory_iterator(std::string(OXLE_DATA_DIR) + "/pictures", ec))
	{
		if (!entry.is_regular_file())
			continue;
		const std::string copy = root + picturesDir + "/" + entry.path().filename().string();
		const std::string type = entry.path().extension().string();
		if (type != ".png" && type != ".mvi")
		{
			EXPECT_FALSE(fs::exists(copy)) << "only pictures go to the box: " << copy;
			continue;
		}
		++pictures;
		EXPECT_EQ(readFile(copy), readFile(entry.path())) << copy;
	}
	EXPECT_GT(pictures, 0) << "the project ships pictures to seed";

	const std::string tool = OXLE_SHOWIFRAME_TOOL;
	if (!tool.empty())
	{
		ASSERT_EQ(stat((root + "/var/bin/showiframe").c_str(), &st), 0);
		EXPECT_TRUE(st.st_mode & S_IXUSR);
		EXPECT_EQ(readFile(root + "/var/bin/showiframe"), readFile(tool));
	}
}

TEST(BoxSeedTest, SeedingNeverOverwritesAndSetValuesStay)
{
	ScratchDir dir;
	const std::string root = dir / "root";
	ASSERT_EQ(runExit(root, dir).exitCode, 0);

	// The tester changes the root between runs.
	const std::string custom = "auto lo\niface lo inet loopback\n";
	{
		std::ofstream(root + "/etc/network/interfaces", std::ios::binary) << custom;
	}
	const std::string logo = root + picturesDir + "/oxle.png";
	const bool haveLogo = fs::exists(logo);
	if (haveLogo)
		std::ofstream(logo, std::ios::binary) << "edited";

	BoxRun second = runExit(root, dir,
		{"--set", std::string(serverIpKey) + "=s:127.0.0.9", "--set", std::string(serverPortKey) + "=i:12345"});
	ASSERT_EQ(second.exitCode, 0) << second.output;
	EXPECT_EQ(configText(root, serverIpKey), "127.0.0.9");
	EXPECT_EQ(configInt(root, serverPortKey), 12345);

	BoxRun third = runExit(root, dir);
	ASSERT_EQ(third.exitCode, 0) << third.output;
	EXPECT_EQ(configText(root, serverIpKey), "127.0.0.9") << "a set value is not re-seeded";
	EXPECT_EQ(configInt(root, serverPortKey), 12345);
	EXPECT_EQ(readFile(root + "/etc/network/interfaces"), custom);
	if (haveLogo)
	{
		EXPECT_EQ(readFile(logo), "edited");
	}
}

TEST(BoxSeedTest, RootFromTheEnvironment)
{
	ScratchDir dir;
	const std::string root = dir / "from-env";
	BoxCall call;
	call.args = {"--plugin", fixturePlugin, "--timeout", "30", "--keys", dir.write("keys.txt", "exit\n")};
	call.unsetEnv = {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"};
	call.setEnv["OXLE_BOX_ROOT"] = root;
	BoxRun run = runBox(call);
	ASSERT_EQ(run.exitCode, 0) << run.output;
	EXPECT_EQ(configText(root, serverIpKey), "127.0.0.1");
}
