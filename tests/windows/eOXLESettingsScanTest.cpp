// The server scan of the settings window. Every probe stays on loopback: the box gets a
// static own address in 127.0.0.x and the servers listen on single loopback addresses.
// Besides, the binary runs in a network namespace of its own where only loopback is up,
// so that even a broken scan reaches nothing else (the scans are skipped without it).
// The DHCP branch asks the kernel for "eth0"; it runs only in a child process inside a
// network namespace of its own, where eth0 is a dummy interface (or one end of a veth
// pair kept inside the namespace).
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FakeServer.h"
#include "TempBoxRoot.h"
#include "WindowsTestHost.h"
#include "eAction.h"
#include "eConfig.h"
#include "eOXLESettings.h"
#include "eTextInputField.h"
#include "eWidget.h"

namespace
{
const char USE_DHCP[] = "/elitedvb/network/usedhcp";
const char INTERFACES[] = "/etc/network/interfaces";
const char FIELD_BEFORE[] = "10.9.8.7";
// A server that sees no connection within this long was not probed.
const int NOT_PROBED_WAIT_MS = 150;
const int PROBED_WAIT_MS = 2000;

// A port that nothing listens on at any address right now, so that every probed
// loopback address but the test's servers refuses.
uint16_t freePort()
{
	int s = socket(AF_INET, SOCK_STREAM, 0);
	sockaddr_in a{};
	a.sin_family = AF_INET;
	socklen_t length = sizeof a;
	uint16_t port = 0;
	if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
		getsockname(s, reinterpret_cast<sockaddr*>(&a), &length) == 0)
		port = ntohs(a.sin_port);
	close(s);
	return port;
}

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

eTextInputField* addressField(eOXLESettings& w)
{
	return static_cast<eTextInputField*>(w.search("server_ip"));
}

class ServerScan : public ::testing::Test
{
protected:
	void SetUp() override
	{
		// A scan whose own-address rules broke could walk 0.0.0.x, 255.255.255.x or the
		// real eth0's network: scans run only where nothing but loopback is reachable.
		if (!insidePrivateNetwork())
			GTEST_SKIP() << "needs the private network namespace of the test binary (unshare not permitted)";
		port = freePort();
		ASSERT_NE(port, 0);
		useLoopbackServer(port);
		eConfig::getInstance()->setKey(USE_DHCP, 0);
	}
	void TearDown() override
	{
		eConfig::getInstance()->delKey(USE_DHCP);
		useLoopbackServer(TempBoxRoot::DEFAULT_COMMAND_PORT);
	}
	uint16_t port = 0;
};
} // namespace

TEST_F(ServerScan, FindsTheFirstAnsweringAddressAboveTheOwnOne)
{
	struct Case
	{
		const char* what;
		const char* own;
		std::vector<std::string> servers;
		const char* want;
		std::vector<size_t> probes; // connections each server saw
	};
	const Case cases[] = {
		{"walks up to the server and no further", "127.0.0.20", {"127.0.0.7", "127.0.0.8"}, "127.0.0.7", {1, 0}},
		{"ascending order", "127.0.0.20", {"127.0.0.7", "127.0.0.3"}, "127.0.0.3", {0, 1}},
		{"the own address is skipped", "127.0.0.1", {"127.0.0.1", "127.0.0.2"}, "127.0.0.2", {0, 1}},
	};
	for (const Case& c : cases)
	{
		SCOPED_TRACE(c.what);
		ASSERT_TRUE(windowsTestRoot().writeFile(INTERFACES, staticInterfaces(c.own)));
		std::vector<std::unique_ptr<FakeServer>> servers;
		for (const std::string& address : c.servers)
		{
			servers.push_back(serverOn(address, port));
			ASSERT_TRUE(servers.back()->ok()) << servers.back()->error();
		}
		{
			eOXLESettings w;
			addressField(w)->setText(FIELD_BEFORE);
			w.show();
			// The green key is the scan button's shortcut.
			press(w, i_shortcutActions->green);
			EXPECT_EQ(addressField(w)->getText(), c.want);
			w.hide();
			for (size_t i = 0; i < servers.size(); ++i)
			{
				if (c.probes[i])
					EXPECT_TRUE(servers[i]->waitForRequests(c.probes[i], PROBED_WAIT_MS)) << c.servers[i];
				else
					EXPECT_FALSE(servers[i]->waitForRequests(1, NOT_PROBED_WAIT_MS)) << c.servers[i];
				EXPECT_EQ(servers[i]->connectionCount(), c.probes[i]) << c.servers[i];
			}
			// Nothing is stored before the window closes.
			EXPECT_EQ(configString(TempBoxRoot::SERVER_IP_KEY), "127.0.0.1");
		}
		EXPECT_EQ(configString(TempBoxRoot::SERVER_IP_KEY), c.want) << "stored when the window closes";
		useLoopbackServer(port);
	}
}

// Without an own address there is no network to search: no probe at all (it would walk
// 0.0.0.1 to 0.0.0.255), and the field keeps what it had.
TEST_F(ServerScan, NoOwnAddressMeansNoScan)
{
	struct Case
	{
		const char* what;
		const char* interfaces; // nullptr: no file
		const char* diagnostic;
	};
	const Case cases[] = {
		{"three numbers", "iface eth0 inet static\n\taddress 10.0.0\n", "couldn't parse ip(10.0.0)"},
		{"an octet out of range", "iface eth0 inet static\n\taddress 127.0.0.300\n", "couldn't parse ip(127.0.0.300)"},
		{"a negative octet", "iface eth0 inet static\n\taddress 127.0.0.-1\n", "couldn't parse ip(127.0.0.-1)"},
		{"no address line", "iface eth0 inet static\n\tnetmask 255.0.0.0\n", "couldn't parse ip()"},
		{"eth0 by dhcp in the file, static in the box settings", "iface eth0 inet dhcp\n", "couldn't parse ip()"},
		{"no interfaces file", nullptr, "couldn't parse ip()"},
		{"an address of 0.0.0.0/8", "iface eth0 inet static\n\taddress 0.0.0.5\n", "no own address to scan from"},
	};
	// Where a scan that shifted the stray bits of 127.0.0.300 into the address would
	// look: 127.0.1.44 and its neighbours.
	std::unique_ptr<FakeServer> stray = serverOn("127.0.1.1", port);
	ASSERT_TRUE(stray->ok()) << stray->error();
	for (const Case& c : cases)
	{
		SCOPED_TRACE(c.what);
		std::remove(windowsTestRoot().file(INTERFACES).c_str());
		if (c.interfaces)
		{
			ASSERT_TRUE(windowsTestRoot().writeFile(INTERFACES, c.interfaces));
		}
		eOXLESettings w;
		addressField(w)->setText(FIELD_BEFORE);
		::testing::internal::CaptureStderr();
		w.serverScan();
		const std::string diagnostics = ::testing::internal::GetCapturedStderr();
		EXPECT_NE(diagnostics.find(c.diagnostic), std::string::npos) << diagnostics;
		EXPECT_EQ(addressField(w)->getText(), FIELD_BEFORE);
	}
	EXPECT_FALSE(stray->waitForRequests(1, NOT_PROBED_WAIT_MS));
}

// A walk that finds nobody leaves the field as it was rather than showing the last
// address tried, which never answered. This walks the whole network (about half a
// minute: 254 probes of ten tries each).
TEST_F(ServerScan, AWalkWithoutAnswerKeepsTheField)
{
	ASSERT_TRUE(windowsTestRoot().writeFile(INTERFACES, staticInterfaces("127.0.0.255")));
	// Listening on the own address: a scan that probed it would take it for the server.
	std::unique_ptr<FakeServer> own = serverOn("127.0.0.255", port);
	ASSERT_TRUE(own->ok()) << own->error();
	eOXLESettings w;
	addressField(w)->setText(FIELD_BEFORE);
	w.serverScan();
	EXPECT_EQ(addressField(w)->getText(), FIELD_BEFORE);
	EXPECT_EQ(own->connectionCount(), 0u);
}

// ---- DHCP: only inside a network namespace of the test's own ----

namespace
{
const char NETNS_ROUTINE[] = "scan-dhcp-netns";
const char PARENT_NETNS_VARIABLE[] = "OXLE_SCAN_PARENT_NETNS";
const int CHILD_SKIP = 77;
const char DUMMY_OWN[] = "10.200.0.20";
const char DUMMY_SERVER[] = "10.200.0.7";
const char DUMMY_BEYOND[] = "10.200.0.8";

std::string netnsId()
{
	struct stat info;
	if (stat("/proc/self/ns/net", &info) != 0)
		return "";
	return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
}

int childFail(const std::string& why)
{
	fprintf(stdout, "FAIL: %s\n", why.c_str());
	return EXIT_FAILURE;
}

// Runs in the child, inside the new namespace.
int dhcpScanInNamespace()
{
	const char* parent = getenv(PARENT_NETNS_VARIABLE);
	const std::string here = netnsId();
	if (!parent || here.empty() || here == parent)
		return childFail("not inside a network namespace of its own; refusing to touch eth0");

	TempBoxRoot root;
	std::string why;
	if (!startDesktopHost(root, why))
		return childFail(why);
	// The static address in the file must not matter when the box uses DHCP.
	root.writeFile(INTERFACES, staticInterfaces("127.0.0.20"));
	eConfig::getInstance()->setKey(USE_DHCP, 1);

	// No eth0 at all: the kernel has no address, so there is nothing to scan.
	{
		eOXLESettings w;
		addressField(w)->setText(FIELD_BEFORE);
		w.serverScan();
		if (addressField(w)->getText() != FIELD_BEFORE)
			return childFail("scan without eth0 changed the field to " + addressField(w)->getText());
	}

	// A dummy interface where the kernel has the driver; otherwise a veth pair whose
	// both ends stay in this namespace. Either way no packet can leave it.
	const std::string addresses = std::string("ip addr add ") + DUMMY_OWN + "/24 dev eth0 && ip addr add " +
		DUMMY_SERVER + "/24 dev eth0 && ip addr add " + DUMMY_BEYOND + "/24 dev eth0 && ip link set eth0 up";
	const std::string dummy = "ip link add eth0 type dummy 2>/dev/null";
	const std::string veth = "ip link add eth0 type veth peer name eth0peer && ip link set eth0peer up";
	if (system("ip link set lo up") != 0 || (system(dummy.c_str()) != 0 && system(veth.c_str()) != 0) ||
		system(addresses.c_str()) != 0)
	{
		fprintf(stdout, "SKIP: no eth0 could be made in the namespace (ip, dummy or veth driver)\n");
		return CHILD_SKIP;
	}
	const uint16_t port = freePort();
	std::unique_ptr<FakeServer> server = serverOn(DUMMY_SERVER, port);
	std::unique_ptr<FakeServer> beyond = serverOn(DUMMY_BEYOND, port);
	if (!server->ok() || !beyond->ok())
		return childFail("servers on the dummy interface: " + server->error() + beyond->error());
	useLoopbackServer(port);
	eConfig::getInstance()->setKey(USE_DHCP, 1);

	eOXLESettings w;
	addressField(w)->setText(FIELD_BEFORE);
	w.serverScan();
	if (addressField(w)->getText() != DUMMY_SERVER)
		return childFail("the field shows " + addressField(w)->getText() + ", not " + DUMMY_SERVER);
	if (!server->waitForRequests(1, PROBED_WAIT_MS) || server->connectionCount() != 1)
		return childFail("the server was not probed exactly once");
	if (beyond->waitForRequests(1, NOT_PROBED_WAIT_MS))
		return childFail("the walk went on past the server");
	fprintf(stdout, "OK\n");
	return EXIT_SUCCESS;
}

const bool netnsRoutineRegistered = registerChildRoutine(NETNS_ROUTINE, dhcpScanInNamespace);
} // namespace

TEST(ServerScanDhcp, TheKernelAddressOfEth0InANamespace)
{
	ASSERT_TRUE(netnsRoutineRegistered);
	const std::string parentNetns = netnsId();
	ASSERT_FALSE(parentNetns.empty());
	int output[2];
	ASSERT_EQ(pipe(output), 0);
	// Everything the child needs is prepared before fork: after it, only unshare,
	// redirection and exec.
	const std::string routineEnv = std::string(CHILD_ROUTINE_VARIABLE) + "=" + NETNS_ROUTINE;
	const std::string parentEnv = std::string(PARENT_NETNS_VARIABLE) + "=" + parentNetns;
	std::vector<std::string> environment = {routineEnv, parentEnv};
	for (char** e = environ; *e; ++e)
		environment.emplace_back(*e);
	std::vector<char*> envp;
	for (std::string& e : environment)
		envp.push_back(e.data());
	envp.push_back(nullptr);
	char self[] = "/proc/self/exe";
	char* argv[] = {self, nullptr};

	pid_t pid = fork();
	ASSERT_GE(pid, 0);
	if (pid == 0)
	{
		dup2(output[1], STDOUT_FILENO);
		dup2(output[1], STDERR_FILENO);
		close(output[0]);
		close(output[1]);
		if (unshare(CLONE_NEWNET) != 0)
		{
			static const char message[] = "SKIP: no network namespace can be made here (unshare failed)\n";
			(void)!write(STDOUT_FILENO, message, sizeof message - 1);
			_exit(CHILD_SKIP);
		}
		execve(self, argv, envp.data());
		_exit(EXIT_FAILURE);
	}
	close(output[1]);
	std::string log;
	char buffer[4096];
	ssize_t n;
	while ((n = read(output[0], buffer, sizeof buffer)) > 0)
		log.append(buffer, size_t(n));
	close(output[0]);
	int status = 0;
	ASSERT_EQ(waitpid(pid, &status, 0), pid);
	ASSERT_TRUE(WIFEXITED(status)) << log;
	if (WEXITSTATUS(status) == CHILD_SKIP)
	{
		const size_t at = log.find("SKIP: ");
		GTEST_SKIP() << (at == std::string::npos ? log : log.substr(at));
	}
	EXPECT_EQ(WEXITSTATUS(status), EXIT_SUCCESS) << log;
	EXPECT_NE(log.find("OK"), std::string::npos) << log;
}
