// The settings window's server scan on loopback only: own address 127.0.0.x, servers on single
// loopback addresses, the binary in a loopback-only network namespace (else the scans skip).
// The DHCP branch reads eth0 only in a child inside a namespace of its own, on a veth pair.
#include <sys/stat.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "FakeServer.h"
#include "HostTestEnv.h"
#include "TempDir.h"
#include "eConfig.h"
#include "eOXLESettings.h"
#include "eTextInputField.h"
#include "server/ChildProcess.h"

namespace
{
const bool isolated = HostTestEnv::wantPrivateNetwork();
const char USE_DHCP[] = "/elitedvb/network/usedhcp", INTERFACES[] = "/etc/network/interfaces", BEFORE[] = "10.9.8.7";
// A server that sees no connection within NOT_PROBED_MS was not probed.
const int NOT_PROBED_MS = 150, PROBED_MS = 2000, CHILD_MS = 60000, SKIPPED = 77;

std::unique_ptr<FakeServer> serverOn(const std::string& address, uint16_t port)
{
	FakeServer::Options options;
	options.bindAddress = address;
	options.port = port;
	options.idleMs = 30;
	return std::make_unique<FakeServer>([](const std::string&) { return FakeServer::Reply::text("+ok"); }, options);
}

std::string staticInterfaces(const std::string& address)
{
	return "auto lo eth0\niface lo inet loopback\niface eth0 inet static\n\taddress " + address +
		"\n\tnetmask 255.255.255.0\n";
}

// The address field after a scan (the green key) from a window whose field held BEFORE.
std::string scan()
{
	eOXLESettings w;
	auto* field = static_cast<eTextInputField*>(w.search("server_ip"));
	field->setText(BEFORE);
	w.show();
	HostTestEnv::press(w, i_shortcutActions->green);
	w.hide();
	return field->getText();
}

class ServerScan : public ::testing::Test
{
protected:
	void SetUp() override
	{
		// A scan whose own-address rules broke could walk 0.0.0.x, 255.255.255.x or the
		// real eth0's network: scans run only where nothing but loopback is reachable.
		if (!isolated || !HostTestEnv::insidePrivateNetwork())
			GTEST_SKIP() << "needs the binary's private network namespace (unshare not permitted)";
		port = FakeServer::freePort();
		ASSERT_NE(port, 0);
		HostTestEnv::useServer(port);
		eConfig::getInstance()->setKey(USE_DHCP, 0);
	}
	void TearDown() override
	{
		eConfig::getInstance()->delKey(USE_DHCP);
		HostTestEnv::useServer(TempBoxRoot::DEFAULT_COMMAND_PORT);
	}
	uint16_t port = 0;
};
} // namespace

TEST_F(ServerScan, FindsTheFirstAnsweringAddressAboveTheOwnOneAndStoresItOnClosing)
{
	struct Case
	{
		const char* own;
		std::vector<std::string> servers;
		const char* want;
		std::vector<size_t> probes; // connections each server saw
	};
	const Case cases[] = {
		{"127.0.0.20", {"127.0.0.7", "127.0.0.8"}, "127.0.0.7", {1, 0}}, // and no further
		{"127.0.0.20", {"127.0.0.7", "127.0.0.3"}, "127.0.0.3", {0, 1}}, // ascending
		{"127.0.0.1", {"127.0.0.1", "127.0.0.2"}, "127.0.0.2", {0, 1}},  // never the own address
	};
	for (const Case& c : cases)
	{
		ASSERT_TRUE(HostTestEnv::root().writeFile(INTERFACES, staticInterfaces(c.own)));
		std::vector<std::unique_ptr<FakeServer>> servers;
		for (const std::string& address : c.servers)
		{
			servers.push_back(serverOn(address, port));
			ASSERT_TRUE(servers.back()->ok()) << servers.back()->error();
		}
		EXPECT_EQ(scan(), c.want); // and stored as the window closes
		EXPECT_EQ(HostTestEnv::configString(TempBoxRoot::SERVER_IP_KEY), c.want);
		for (size_t i = 0; i < servers.size(); ++i)
		{
			if (c.probes[i])
				EXPECT_TRUE(servers[i]->waitForRequests(c.probes[i], PROBED_MS)) << c.servers[i];
			else
				EXPECT_FALSE(servers[i]->waitForRequests(1, NOT_PROBED_MS)) << c.servers[i];
			EXPECT_EQ(servers[i]->connectionCount(), c.probes[i]) << c.servers[i];
		}
		HostTestEnv::useServer(port);
	}
}

// Without an own address there is no network to search: no probe at all (it would walk
// 0.0.0.1 to 0.0.0.255), and the field keeps what it had.
TEST_F(ServerScan, NoOwnAddressMeansNoScan)
{
	const char* const files[] = {
		"iface eth0 inet static\n\taddress 10.0.0\n",
		"iface eth0 inet static\n\taddress 127.0.0.300\n",
		"iface eth0 inet static\n\taddress 127.0.0.-1\n",
		"iface eth0 inet static\n\tnetmask 255.0.0.0\n",
		"iface eth0 inet dhcp\n", // dhcp in the file, static in the box's settings
		nullptr,                  // no file
		"iface eth0 inet static\n\taddress 0.0.0.5\n",
	};
	// Where a scan that shifted the stray bits of 127.0.0.300 into the address would look.
	std::unique_ptr<FakeServer> stray = serverOn("127.0.1.1", port);
	ASSERT_TRUE(stray->ok()) << stray->error();
	for (const char* file : files)
	{
		std::remove(HostTestEnv::root().file(INTERFACES).c_str());
		ASSERT_TRUE(!file || HostTestEnv::root().writeFile(INTERFACES, file));
		EXPECT_EQ(scan(), BEFORE) << (file ? file : "no file");
	}
	EXPECT_FALSE(stray->waitForRequests(1, NOT_PROBED_MS));
}

// A walk that finds nobody leaves the field as it was rather than showing the last
// address tried. It walks the whole network: 254 probes of ten tries, about 30 s.
TEST_F(ServerScan, AWalkWithoutAnswerKeepsTheField)
{
	ASSERT_TRUE(HostTestEnv::root().writeFile(INTERFACES, staticInterfaces("127.0.0.255")));
	// Listening on the own address: a scan that probed it would take it for the server.
	std::unique_ptr<FakeServer> own = serverOn("127.0.0.255", port);
	ASSERT_TRUE(own->ok()) << own->error();
	EXPECT_EQ(scan(), BEFORE);
	EXPECT_EQ(own->connectionCount(), 0u);
}

// DHCP: only inside a network namespace of the test's own.
namespace
{
const char DHCP_ROUTINE[] = "scan-dhcp-netns", PARENT_NETNS[] = "OXLE_SCAN_PARENT_NETNS", SERVER[] = "10.200.0.7";

std::string netnsId()
{
	struct stat info;
	if (stat("/proc/self/ns/net", &info) != 0)
		return "";
	return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
}

int fail(const std::string& why)
{
	printf("FAIL: %s\n", why.c_str());
	return 1;
}

// Runs in the child, inside its own namespace.
int dhcpScan()
{
	const char* parent = getenv(PARENT_NETNS);
	if (!parent || netnsId().empty() || netnsId() == parent)
		return fail("not inside a network namespace of its own; refusing to touch eth0");
	setvbuf(stdout, nullptr, _IONBF, 0);
	printf("ROUTINE\n");
	HostTestEnv::start();
	// The static address in the file must not matter when the box uses DHCP.
	HostTestEnv::root().writeFile(INTERFACES, staticInterfaces("127.0.0.20"));
	eConfig::getInstance()->setKey(USE_DHCP, 1);
	if (scan() != BEFORE)
		return fail("a scan without eth0 changed the field");
	// A veth pair whose both ends stay in this namespace: no packet can leave it.
	if (system("ip link set lo up && ip link add eth0 type veth peer name eth0peer && ip link set eth0peer up && "
			   "ip addr add 10.200.0.20/24 dev eth0 && ip addr add 10.200.0.7/24 dev eth0 && "
			   "ip addr add 10.200.0.8/24 dev eth0 && ip link set eth0 up") != 0)
	{
		printf("SKIP: no eth0 could be made in the namespace (ip, veth driver)\n");
		return SKIPPED;
	}
	const uint16_t port = FakeServer::freePort();
	std::unique_ptr<FakeServer> server = serverOn(SERVER, port);
	std::unique_ptr<FakeServer> beyond = serverOn("10.200.0.8", port);
	if (!server->ok() || !beyond->ok())
		return fail("servers on eth0: " + server->error() + beyond->error());
	HostTestEnv::useServer(port);
	eConfig::getInstance()->setKey(USE_DHCP, 1);
	if (scan() != SERVER)
		return fail("the field does not show the server");
	if (!server->waitForRequests(1, PROBED_MS) || server->connectionCount() != 1)
		return fail("the server was not probed exactly once");
	if (beyond->waitForRequests(1, NOT_PROBED_MS))
		return fail("the walk went on past the server");
	printf("OK\n");
	return 0;
}

const bool dhcpRoutine = HostTestEnv::registerChild(DHCP_ROUTINE, dhcpScan);
} // namespace

TEST(ServerScanDhcp, TheKernelAddressOfEth0InANamespaceOfItsOwn)
{
	ASSERT_TRUE(dhcpRoutine);
	TempDir dir;
	oxle::server::ChildProcess child;
	std::error_code error;
	oxle::server::ChildProcess::Launch launch(
		{"unshare", "--net", "--", std::filesystem::read_symlink("/proc/self/exe", error).string()});
	launch.environment = {
		std::string(HostTestEnv::CHILD_VARIABLE) + "=" + DHCP_ROUTINE, std::string(PARENT_NETNS) + "=" + netnsId()};
	launch.output = launch.errors = oxle::server::ChildProcess::Stream::file(dir / "log", true);
	std::string why;
	ASSERT_TRUE(child.start(launch, why)) << why;
	int status = -1;
	ASSERT_TRUE(child.waitFor(CHILD_MS, status));
	const std::string log = dir.read("log");
	if ((log.find("ROUTINE") == std::string::npos && log.find("FAIL") == std::string::npos) ||
		(WIFEXITED(status) && WEXITSTATUS(status) == SKIPPED))
		GTEST_SKIP() << "no network namespace or eth0 here: " << log;
	EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << log;
	EXPECT_NE(log.find("OK"), std::string::npos) << log;
}
