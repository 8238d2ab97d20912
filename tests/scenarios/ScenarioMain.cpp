// The scenario runner's main: one test per scenario file (Scenario.NAME), beside the plain
// tests of this binary. The whole process, and so every box and server it starts, first
// moves into a network namespace of its own with only loopback up: a scenario may open the
// settings' server scan, and nothing it does may reach past 127.0.0.0/8.
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include <gtest/gtest.h>

#include "ScenarioRunner.h"
#include "UniqueFd.h"

namespace
{
bool isolated = false;

bool enterPrivateNetwork()
{
	if (unshare(CLONE_NEWNET) != 0)
		return false;
	UniqueFd sock(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
	ifreq request{};
	strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
	if (!sock || ioctl(sock.get(), SIOCGIFFLAGS, &request) != 0)
		return false;
	request.ifr_flags = short(request.ifr_flags | IFF_UP);
	return ioctl(sock.get(), SIOCSIFFLAGS, &request) == 0;
}

// As CMake's MAKE_C_IDENTIFIER names the ctest test.
std::string testName(const std::string& stem)
{
	std::string name = stem;
	for (char& c : name)
		if (!isalnum(static_cast<unsigned char>(c)))
			c = '_';
	return isdigit(static_cast<unsigned char>(name[0])) ? "_" + name : name;
}

class ScenarioTest : public ::testing::Test
{
public:
	explicit ScenarioTest(std::string file) : path(std::move(file)) {}
	void TestBody() override
	{
		if (!isolated)
			GTEST_SKIP() << "scenarios run only in a network namespace of their own (as root)";
		std::ifstream in(path);
		Scenario scenario;
		std::string error;
		ASSERT_TRUE(scenario.parse(std::string(std::istreambuf_iterator<char>(in), {}), error))
			<< path << ": " << error;
		ScenarioRunner runner(scenario);
		EXPECT_TRUE(runner.run(error)) << path << ": " << error;
	}

private:
	std::string path;
};
} // namespace

int main(int argc, char** argv)
{
	isolated = enterPrivateNetwork();
	::testing::InitGoogleTest(&argc, argv);
	std::set<std::filesystem::path> files;
	std::error_code failed;
	for (const auto& entry : std::filesystem::directory_iterator(OXLE_SCENARIO_DIR, failed))
		if (entry.path().extension() == ".scenario")
			files.insert(entry.path());
	for (const std::filesystem::path& file : files)
		::testing::RegisterTest("Scenario", testName(file.stem().string()).c_str(), nullptr, nullptr, file.c_str(), 1,
			[file]() -> ::testing::Test* { return new ScenarioTest(file.string()); });
	return RUN_ALL_TESTS();
}
