#include "WindowsTestHost.h"

#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>

#include <gtest/gtest.h>

#include "BoxRoot.h"
#include "DesktopServices.h"
#include "TempBoxRoot.h"
#include "eConfig.h"
#include "eTCP.h"
#include "eWidget.h"

const char CHILD_ROUTINE_VARIABLE[] = "OXLE_WINDOWS_TEST_CHILD";

namespace
{
const char LOOPBACK[] = "127.0.0.1";
// Short waits: a silent fake server should cost a test well under a second.
const int testConnectTimeoutMs = 1000;
const int testReplySilenceMs = 300;

TempBoxRoot* activeRoot = nullptr;
// Set once in main before any thread starts.
bool privateNetwork = false;

// Moves the process into a network namespace of its own with only the loopback
// interface up: whatever a test (or a broken scan) connects to, nothing but 127.0.0.0/8
// is reachable. Must run before any thread is started, so that every thread is inside.
bool enterPrivateNetwork()
{
	if (unshare(CLONE_NEWNET) != 0)
		return false;
	int sock = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
	if (sock < 0)
		return false;
	ifreq request{};
	strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
	bool up = ioctl(sock, SIOCGIFFLAGS, &request) == 0;
	request.ifr_flags = short(request.ifr_flags | IFF_UP);
	up = up && ioctl(sock, SIOCSIFFLAGS, &request) == 0;
	close(sock);
	return up;
}

std::map<std::string, ChildRoutine>& childRoutines()
{
	static std::map<std::string, ChildRoutine> routines;
	return routines;
}

class HostEnvironment : public ::testing::Environment
{
public:
	void SetUp() override
	{
		root = std::make_unique<TempBoxRoot>();
		std::string why;
		if (!startDesktopHost(*root, why))
		{
			// Nothing may ever leave the loopback range: refuse to run at all.
			fprintf(stderr, "%s\n", why.c_str());
			abort();
		}
		activeRoot = root.get();
	}
	void TearDown() override
	{
		eTCP::setTimeoutsForTesting(0, 0);
		activeRoot = nullptr;
		setBoxRoot("");
		root.reset();
	}

private:
	std::unique_ptr<TempBoxRoot> root;
};
} // namespace

TempBoxRoot& windowsTestRoot()
{
	return *activeRoot;
}

bool startDesktopHost(TempBoxRoot& root, std::string& why)
{
	if (!root.ok())
	{
		why = "no temporary box root";
		return false;
	}
	setBoxRoot(root.path());
	DesktopServices::init();
	eTCP::setTimeoutsForTesting(testConnectTimeoutMs, testReplySilenceMs);
	if (configString(TempBoxRoot::SERVER_IP_KEY) != LOOPBACK)
	{
		why = "the test box root does not point the plugin at 127.0.0.1";
		return false;
	}
	return true;
}

void useLoopbackServer(uint16_t port)
{
	eConfig::getInstance()->setKey(TempBoxRoot::SERVER_IP_KEY, LOOPBACK);
	eConfig::getInstance()->setKey(TempBoxRoot::SERVER_PORT_KEY, std::to_string(port).c_str());
}

std::string configString(const char* key, const std::string& absent)
{
	char* value = nullptr;
	if (eConfig::getInstance()->getKey(key, value) != 0 || !value)
		return absent;
	std::string out = value;
	free(value);
	return out;
}

int configInt(const char* key, int absent)
{
	int value = absent;
	eConfig::getInstance()->getKey(key, value);
	return value;
}

int press(eWidget& widget, const eAction& action)
{
	return widget.event(eWidgetEvent(eWidgetEvent::evtAction, &action));
}

bool insidePrivateNetwork()
{
	return privateNetwork;
}

bool registerChildRoutine(const std::string& name, ChildRoutine routine)
{
	return childRoutines().emplace(name, std::move(routine)).second;
}

int main(int argc, char** argv)
{
	if (const char* child = getenv(CHILD_ROUTINE_VARIABLE))
	{
		auto found = childRoutines().find(child);
		if (found == childRoutines().end())
		{
			fprintf(stderr, "no child routine %s\n", child);
			return EXIT_FAILURE;
		}
		return found->second();
	}
	privateNetwork = enterPrivateNetwork();
	if (!privateNetwork)
		fprintf(stderr, "no private network namespace (unshare): tests that need one are skipped\n");
	::testing::InitGoogleTest(&argc, argv);
	::testing::AddGlobalTestEnvironment(new HostEnvironment);
	return RUN_ALL_TESTS();
}
