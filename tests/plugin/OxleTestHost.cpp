#include "OxleTestHost.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "BoxRoot.h"
#include "DesktopServices.h"
#include "TempBoxRoot.h"
#include "boxPath.h"
#include "eConfig.h"
#include "eTCP.h"
#include "oxleGlobals.h"

#ifndef OXLE_TEST_DATA_DIR
#error "OXLE_TEST_DATA_DIR names the project's data folder"
#endif

namespace
{
// Short waits: a silent fake server should cost a test well under a second.
const int testConnectTimeoutMs = 1000;
const int testReplySilenceMs = 300;
const int requestIdleMs = 30;

// Keys a test may leave behind; each test starts without them.
const char* const pluginKeys[] = {
	OXLE_KEY("lastmode"),
	OXLE_KEY("mediadir"),
	OXLE_KEY("autoplay"),
	OXLE_KEY("autoinfo"),
	OXLE_KEY("infodelay"),
	OXLE_KEY("lastPath"),
	OXLE_KEY("volume"),
	"/ezap/ui/skin",
};

class HostEnvironment : public ::testing::Environment
{
public:
	void SetUp() override
	{
		root = std::make_unique<TempBoxRoot>();
		ASSERT_TRUE(root->ok());
		namespace fs = std::filesystem;
		const fs::path pictures = root->file(OXLE_PICTURES);
		fs::create_directories(pictures);
		for (const fs::directory_entry& e : fs::directory_iterator(fs::path(OXLE_TEST_DATA_DIR) / "pictures"))
			if (e.path().extension() == ".png" || e.path().extension() == ".mvi")
				fs::copy_file(e.path(), pictures / e.path().filename(), fs::copy_options::overwrite_existing);
		setBoxRoot(root->path());
		DesktopServices::init();
		eTCP::setTimeoutsForTesting(testConnectTimeoutMs, testReplySilenceMs);
	}
	void TearDown() override
	{
		eTCP::setTimeoutsForTesting(0, 0);
		root.reset();
	}
	std::unique_ptr<TempBoxRoot> root;
};

HostEnvironment* environment = nullptr;
const bool registered = [] {
	environment = new HostEnvironment;
	::testing::AddGlobalTestEnvironment(environment);
	return true;
}();

// A port on 127.0.0.1 where nothing listens (bound once, then released).
int deadPort()
{
	int s = socket(AF_INET, SOCK_STREAM, 0);
	sockaddr_in a{};
	a.sin_family = AF_INET;
	a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
	socklen_t length = sizeof a;
	int port = 0;
	if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
		getsockname(s, reinterpret_cast<sockaddr*>(&a), &length) == 0)
		port = ntohs(a.sin_port);
	close(s);
	return port;
}
} // namespace

void resetPluginGlobals()
{
	isStream = true;
	fd = 20;
	isGemini = true;
	AUTOPLAY = 1;
	AUTOINFO = 1;
	INFODELAY = 300000;
	audioChannel = 1;
	posx = 200;
	posy = 300;
	startUp = true;
	CONNECTION = false;
	startdir = cddrive = lastDir = l_path = loadFile = nextFile = "";
	active_skin = "default";
	f_support = hasPicon = false;
	myPass = "";
	for (eString& p : send_parms)
		p = "";
	info = l_root = l_svcd = l_vcd = l_dvd = nullptr;
	switchButton = false;
	shutDown = 0;
	jump = jump_old = JumpInMinutes = 0;
	jump_changed = seekskip = sMode = AC_3 = false;
	seek = 0;
	started = waitStart = paused = false;
	startHour = startMin = 0;
	infoIsVisible = i_isVisible = volumeIsVisible = false;
	oxle_volume = tv_volume = volu = currVol = 0;
	gx = gy = 0;
	TIMEREVENT = 0;
}

std::string testRootFile(const std::string& path)
{
	return environment->root->file(path);
}

std::string listDocument(const std::string& children)
{
	return "<?xml version=\"1.0\"?>\n<list>" + children + "</list>";
}

std::string dirElement(const std::string& name, const std::string& path)
{
	return "<entry type=\"directory\" name=\"" + name + "\" path=\"" + path + "\"/>";
}

std::string fileElement(const std::string& name, const std::string& path, const std::string& size,
	const std::string& pic, const std::string& date)
{
	return "<entry type=\"file\" name=\"" + name + "\" path=\"" + path + "\" size=\"" + size + "\" pic=\"" + pic +
		"\" date=\"" + date + "\"/>";
}

std::string configString(const char* key, const std::string& absent)
{
	char* value = nullptr;
	if (eConfig::getInstance()->getKey(key, value) || !value)
		return absent;
	std::string out = value;
	std::free(value);
	return out;
}

int configInt(const char* key, int absent)
{
	int value = absent;
	eConfig::getInstance()->getKey(key, value);
	return value;
}

void OxleWindowTest::SetUp()
{
	resetPluginGlobals();
	for (const char* key : pluginKeys)
		eConfig::getInstance()->delKey(key);
	FakeServer::Options options;
	options.idleMs = requestIdleMs;
	server = std::make_unique<FakeServer>(
		[this](const std::string& request) {
			std::lock_guard<std::mutex> hold(lock);
			auto found = replies.find(request);
			return found == replies.end() ? FakeServer::Reply::closeWithoutReply() : found->second;
		},
		options);
	ASSERT_TRUE(server->ok()) << server->error();
	eConfig::getInstance()->setKey(TempBoxRoot::SERVER_IP_KEY, "127.0.0.1");
	eConfig::getInstance()->setKey(TempBoxRoot::SERVER_PORT_KEY, std::to_string(server->port()).c_str());
}

void OxleWindowTest::TearDown()
{
	server.reset();
}

void OxleWindowTest::reply(const std::string& request, const std::string& text)
{
	reply(request, FakeServer::Reply::text(text));
}

void OxleWindowTest::reply(const std::string& request, FakeServer::Reply r)
{
	std::lock_guard<std::mutex> hold(lock);
	replies[request] = std::move(r);
}

void OxleWindowTest::scriptConnectedStart(const std::string& startDir, const std::string& listing)
{
	reply("VLC|STA|NO", "+ok");
	reply("RQS|SIP|NO", "127.0.0.1");
	reply("RQS|SEP|NO", "12050");
	reply("RQS|SPO|NO", "8080");
	reply("RQS|STD|NO", startDir);
	reply("RQS|CDD|NO", "D:");
	reply("VLC|GFL|" + startDir, listing);
	reply("VLC|STP|NOUP", "+ok");
}

void OxleWindowTest::useDeadServer()
{
	eConfig::getInstance()->setKey(TempBoxRoot::SERVER_PORT_KEY, std::to_string(deadPort()).c_str());
}

std::unique_ptr<eOXLE> OxleWindowTest::open()
{
	return std::make_unique<eOXLE>();
}

std::vector<std::string> OxleWindowTest::requestsSince(size_t count) const
{
	std::vector<std::string> all = server->requests();
	if (count >= all.size())
		return {};
	return std::vector<std::string>(all.begin() + long(count), all.end());
}

int OxleWindowTest::press(eOXLE& w, const eAction& action)
{
	return w.event(eWidgetEvent(eWidgetEvent::evtAction, &action));
}
