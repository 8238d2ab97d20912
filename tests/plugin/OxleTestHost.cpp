#include "OxleTestHost.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "BoxRoot.h"
#include "DesktopServices.h"
#include "Journal.h"
#include "KeyInput.h"
#include "ModalStack.h"
#include "StreamTimings.h"
#include "TempBoxRoot.h"
#include "boxPath.h"
#include "eConfig.h"
#include "eDVB.h"
#include "eMessageBox.h"
#include "eOXLEEngine.h"
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
const int modalCloseCheckMs = 5;
const char showIframeLog[] = "/tmp/showiframe.log";

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
		fs::create_directories(root->file("/tmp"));
		// A showiframe that only notes its arguments, one call a line.
		ASSERT_TRUE(root->writeFile(
			"/var/bin/showiframe", "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" + root->file(showIframeLog) + "'\n"));
		fs::permissions(root->file("/var/bin/showiframe"), fs::perms::owner_all);
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

namespace
{
std::vector<std::string> fileLines(const std::string& path)
{
	std::vector<std::string> lines;
	std::ifstream in(path);
	std::string line;
	while (std::getline(in, line))
		lines.push_back(line);
	return lines;
}

// Short waits on the stream path, so that a test stream starts and ends in a blink.
void shortenStreamTimings()
{
	resetStreamTimings();
	StreamTimings& t = streamTimings();
	t.connectTriesPerSecond = 10;
	t.connectRetryMs = 10;
	t.answerWaitMs = 300;
	t.prebufferSilenceMs = 300;
	t.prebufferReadPauseMs = 0;
	t.startSettleMs = 0;
	t.decoderSettleMs = 0;
	t.emptyPollLimitVideo = 20;
	t.emptyPollLimitAudio = 20;
	t.endOfStreamWaitMs = 10;
	t.idleCheckMs = 5;
}

// Ends whatever stream a test left running and lets the GUI thread take back what the
// streaming threads handed it.
void stopEngine()
{
	eOXLEEngine* engine = eOXLEEngine::getInstance();
	const int status = engine->status.load();
	if (status != eOXLEEngine::STATUS_STOPPED && status != eOXLEEngine::STATUS_ERROR)
	{
		engine->status = eOXLEEngine::STATUS_CLOSING;
		engine->control("stop", "", "", "", 0);
	}
	engine->status = eOXLEEngine::STATUS_STOPPED;
	eApp->processOneEvent(0);
}
} // namespace

void OxleWindowTest::SetUp()
{
	resetPluginGlobals();
	stopEngine();
	shortenStreamTimings();
	eDVB::getInstance()->time_difference = 0;
	DesktopServices::setRunningService("Desktop TV");
	journalPath = testRootFile("/tmp/journal.jsonl");
	ASSERT_TRUE(Journal::instance().open(journalPath));
	backgroundShowsBefore = fileLines(testRootFile(showIframeLog)).size();
	closedModals.clear();
	modalCloser = std::make_unique<eTimer>(eApp);
	modalCloser->timeout.connect([this] { closeModals(); });
	modalCloser->start(modalCloseCheckMs, false);
	for (const char* key : pluginKeys)
		eConfig::getInstance()->delKey(key);
	std::filesystem::remove(testRootFile("/var/tuxbox/config/enigma/timer.epl"));
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
	modalCloser.reset();
	stopEngine();
	if (stream)
		stream->stop();
	stream.reset();
	server.reset();
	Journal::instance().close();
	resetStreamTimings();
}

void OxleWindowTest::closeModals()
{
	eWidget* top = ModalStack::top();
	if (!top || dynamic_cast<eOXLE*>(top))
		return;
	closedModals.push_back(std::string(top->className()) + " " + top->getText());
	// A message box takes OK; the overlay windows go with Exit, as the viewer does it.
	KeyInput::press(dynamic_cast<eMessageBox*>(top) ? "ok" : "exit");
}

std::vector<nlohmann::json> OxleWindowTest::journal(const std::string& ev) const
{
	std::vector<nlohmann::json> out;
	for (const std::string& line : fileLines(journalPath))
	{
		nlohmann::json entry = nlohmann::json::parse(line, nullptr, false);
		if (!entry.is_discarded() && (ev.empty() || entry.value("ev", "") == ev))
			out.push_back(entry);
	}
	return out;
}

std::vector<std::string> OxleWindowTest::notices() const
{
	std::vector<std::string> out;
	for (const nlohmann::json& box : journal("msgbox"))
		out.push_back(box.value("text", "") + " | " + box.value("caption", "") + " | " +
			std::to_string(box.value("timeout", -1)));
	return out;
}

std::vector<std::string> OxleWindowTest::backgroundShows() const
{
	std::vector<std::string> all = fileLines(testRootFile(showIframeLog));
	if (all.size() <= backgroundShowsBefore)
		return {};
	return std::vector<std::string>(all.begin() + long(backgroundShowsBefore), all.end());
}

FakeHttpStream& OxleWindowTest::serveStream(FakeHttpStream::Script script)
{
	stream = std::make_unique<FakeHttpStream>(std::move(script));
	EXPECT_TRUE(stream->ok());
	reply("RQS|SPO|NO", std::to_string(stream->port()));
	return *stream;
}

int OxleWindowTest::engineStatus()
{
	return eOXLEEngine::getInstance()->status.load();
}

void OxleWindowTest::setEngineStatus(int status)
{
	eOXLEEngine::getInstance()->status = status;
}

std::string audioTransportStream(int pid, int packets)
{
	const int packetSize = 188;
	const int pesEvery = 8;
	const unsigned char sync = 0x47, payloadStart = 0x40, payloadOnly = 0x10, stuffing = 0xff;
	const unsigned char audioStreamId = 0xc0;
	std::string out;
	out.reserve(size_t(packets) * packetSize);
	for (int i = 0; i < packets; ++i)
	{
		std::string packet(packetSize, char(stuffing));
		const bool start = i % pesEvery == 0;
		packet[0] = char(sync);
		packet[1] = char((start ? payloadStart : 0) | ((pid >> 8) & 0x1f));
		packet[2] = char(pid & 0xff);
		packet[3] = char(payloadOnly | (i & 0x0f));
		if (start)
		{
			const unsigned char pes[] = {0, 0, 1, audioStreamId, 0, 0, 0x80, 0, 0};
			packet.replace(4, sizeof pes, reinterpret_cast<const char*>(pes), sizeof pes);
		}
		out += packet;
	}
	return out;
}

int closedWith(eOXLE& w)
{
	const int settleMs = 20;
	eTimer guard(eApp);
	guard.timeout.connect([&w] {
		if (w.isExecuting())
			w.close(notClosed);
	});
	guard.start(settleMs, true);
	return w.exec();
}

bool pumpUntil(const std::function<bool()>& done, int timeoutMs)
{
	const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
	while (!done())
	{
		if (std::chrono::steady_clock::now() > end)
			return false;
		eApp->processOneEvent(5);
	}
	return true;
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
	// A stream port where nothing listens: a start fails unless the test serves a stream.
	reply("RQS|SPO|NO", std::to_string(deadPort()));
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
