#include "WindowsTestHost.h"

#include <cstdio>
#include <cstdlib>
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
	::testing::InitGoogleTest(&argc, argv);
	::testing::AddGlobalTestEnvironment(new HostEnvironment);
	return RUN_ALL_TESTS();
}
