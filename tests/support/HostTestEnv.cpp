#include "HostTestEnv.h"

#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>

#include <gtest/gtest.h>

#include "BoxRoot.h"
#include "DesktopServices.h"
#include "Journal.h"
#include "MonotonicMs.h"
#include "UniqueFd.h"
#include "eConfig.h"
#include "eMainloop.h"
#include "eWidget.h"
#include "oxleConfig.h"

namespace fs = std::filesystem;

bool HostTestEnv::isolated = false;
std::unique_ptr<TempBoxRoot> HostTestEnv::activeRoot;

namespace
{
const char SHOWIFRAME[] = "/var/bin/showiframe", SHOWIFRAME_CALLS[] = "/showiframe-calls";
// Folders the host writes into: the decoder's FIFO, the plugin's temporary files.
const char* const BOX_DIRS[] = {"/dev", "/tmp"};
const char* const PICTURE_TYPES[] = {".png", ".mvi"};
const int PUMP_WAIT_MS = 5;

// Main's options, set at static initialisation before main runs.
struct Requests
{
	bool privateNetwork = false;
	std::vector<std::function<void()>> steps;
	std::map<std::string, std::function<int()>> children;
};

Requests& requests()
{
	static Requests asked;
	return asked;
}

// Into a network namespace of its own with only loopback up; before any thread starts, so
// that every thread is inside.
bool enterPrivateNetwork()
{
	if (unshare(CLONE_NEWNET) != 0)
		return false;
	UniqueFd sock(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
	if (!sock)
		return false;
	ifreq request{};
	strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
	bool up = ioctl(sock.get(), SIOCGIFFLAGS, &request) == 0;
	request.ifr_flags = short(request.ifr_flags | IFF_UP);
	return up && ioctl(sock.get(), SIOCSIFFLAGS, &request) == 0;
}

// Nothing may ever leave the loopback range: refuse to run at all.
void refuse(const std::string& why)
{
	fprintf(stderr, "%s\n", why.c_str());
	abort();
}

bool seed(TempBoxRoot& root)
{
	std::error_code failed;
	for (const char* dir : BOX_DIRS)
		fs::create_directories(root.file(dir), failed);
	const fs::path pictures = root.file(OXLE_PICTURES);
	fs::create_directories(pictures, failed);
	for (const fs::directory_entry& e : fs::directory_iterator(fs::path(OXLE_TEST_DATA_DIR) / "pictures", failed))
		for (const char* type : PICTURE_TYPES)
			if (e.path().extension() == type)
				fs::copy_file(e.path(), pictures / e.path().filename(), fs::copy_options::overwrite_existing, failed);
	const std::string calls = root.file(SHOWIFRAME_CALLS);
	if (failed || !root.writeFile(SHOWIFRAME, "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" + calls + "'\n"))
		return false;
	fs::permissions(root.file(SHOWIFRAME), fs::perms::owner_all, failed);
	return !failed;
}

class Environment : public ::testing::Environment
{
public:
	void SetUp() override { HostTestEnv::start(); }
	void TearDown() override { HostTestEnv::stop(); }
};
} // namespace

void HostTestEnv::start()
{
	activeRoot = std::make_unique<TempBoxRoot>();
	if (!activeRoot->ok() || !seed(*activeRoot))
		refuse("no temporary box root for the tests");
	setBoxRoot(activeRoot->path());
	DesktopServices::init();
	if (configString(TempBoxRoot::SERVER_IP_KEY) != TempBoxRoot::LOOPBACK)
		refuse("the test box root does not point the plugin at 127.0.0.1");
	if (!Journal::instance().open(root().file(JOURNAL)))
		refuse("no journal in the test box root");
	for (const auto& step : requests().steps)
		step();
}

void HostTestEnv::stop()
{
	Journal::instance().close();
	setBoxRoot("");
	activeRoot.reset();
}

bool HostTestEnv::wantPrivateNetwork()
{
	return requests().privateNetwork = true;
}

bool HostTestEnv::atSetUp(std::function<void()> step)
{
	requests().steps.push_back(std::move(step));
	return true;
}

bool HostTestEnv::registerChild(const std::string& name, std::function<int()> routine)
{
	return requests().children.emplace(name, std::move(routine)).second;
}

void HostTestEnv::useServer(uint16_t port)
{
	eConfig::getInstance()->setKey(TempBoxRoot::SERVER_IP_KEY, TempBoxRoot::LOOPBACK);
	eConfig::getInstance()->setKey(TempBoxRoot::SERVER_PORT_KEY, std::to_string(port).c_str());
}

bool HostTestEnv::pumpUntil(const std::function<bool()>& done, int timeoutMs)
{
	for (const long long end = monotonicMs() + timeoutMs; !done();)
	{
		if (monotonicMs() > end)
			return false;
		eApp->processOneEvent(PUMP_WAIT_MS);
	}
	return true;
}

int HostTestEnv::press(eWidget& widget, const eAction& action)
{
	return widget.event(eWidgetEvent(eWidgetEvent::evtAction, &action));
}

int HostTestEnv::configInt(const char* key, int absent)
{
	int value = absent;
	eConfig::getInstance()->getKey(key, value);
	return value;
}

std::string HostTestEnv::configString(const char* key, const std::string& absent)
{
	char* value = nullptr;
	if (eConfig::getInstance()->getKey(key, value) != 0 || !value)
		return absent;
	std::string out = value;
	free(value);
	return out;
}

std::vector<std::string> HostTestEnv::showiframeCalls()
{
	std::vector<std::string> calls;
	std::istringstream in(activeRoot->readFile(SHOWIFRAME_CALLS));
	for (std::string line; std::getline(in, line);)
		calls.push_back(line);
	return calls;
}

int HostTestEnv::main(int argc, char** argv)
{
	// A child runs before anything else: the test that started it made its namespace.
	if (const char* child = getenv(CHILD_VARIABLE))
	{
		auto found = requests().children.find(child);
		if (found != requests().children.end())
			return found->second();
		fprintf(stderr, "no child routine %s\n", child);
		return EXIT_FAILURE;
	}
	if (requests().privateNetwork)
	{
		isolated = enterPrivateNetwork();
		if (!isolated)
			fprintf(stderr, "no private network namespace (unshare): tests that need one are skipped\n");
	}
	::testing::InitGoogleTest(&argc, argv);
	::testing::AddGlobalTestEnvironment(new Environment);
	return RUN_ALL_TESTS();
}
