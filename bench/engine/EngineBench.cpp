// Measures the stream path of the engine on the desktop host against a local HTTP
// stream server (127.0.0.1 only):
//   throughput  socket -> decoder device, beside curl fetching the same stream
//   cpu         CPU of the receiver and feeder threads while a stream plays in real time
//   startup     time from the start request to the first byte at the decoder device
//   path        CPU, faults, wake-ups and memory of the stream path beside curl (PathBench)
// Usage: oxle-engine-bench [--only throughput|cpu|startup|path|path-full|path-paced] [--seconds N] [--mbytes N]
//                          [--mbit R] [--warmup S] [--rounds N] [--ts FILE]
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "BoxRoot.h"
#include "DesktopServices.h"
#include "FakeHttpStream.h"
#include "FakeServer.h"
#include "PathBench.h"
#include "StreamSink.h"
#include "StreamThreads.h"
#include "StreamTimings.h"
#include "TempBoxRoot.h"
#include "Ts.h"
#include "VirtualDecoder.h"
#include "eConfig.h"
#include "eMainloop.h"
#include "eOXLEEngine.h"
#include "oxleGlobals.h"

namespace
{
const double MB = 1024.0 * 1024.0;
const int SYNTHETIC_PACKETS = 5600; // about 1 MB of programme, looped
const size_t FAST_CHUNK_BYTES = 256 * 1024;
const int PACED_GAP_MS = 10;
const int END_WAIT_MS = 120000;

struct Options
{
	std::string only;
	int seconds = 60;
	int megabytes = 512;
	double mbit = 5.0;
	std::string tsFile;
	int warmup = 5;
	int rounds = 5;
};

Options parse(int argc, char** argv)
{
	Options o;
	for (int i = 1; i < argc; ++i)
	{
		std::string arg = argv[i];
		const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
		if (arg == "--only" && value)
			o.only = argv[++i];
		else if (arg == "--seconds" && value)
			o.seconds = atoi(argv[++i]);
		else if (arg == "--mbytes" && value)
			o.megabytes = atoi(argv[++i]);
		else if (arg == "--mbit" && value)
			o.mbit = atof(argv[++i]);
		else if (arg == "--rounds" && value)
			o.rounds = atoi(argv[++i]);
		else if (arg == "--warmup" && value)
			o.warmup = atoi(argv[++i]);
		else if (arg == "--ts" && value)
			o.tsFile = argv[++i];
		else
		{
			fprintf(stderr,
				"usage: %s [--only throughput|cpu|startup|path|path-full|path-paced] [--seconds N] [--mbytes N] [--mbit R] [--warmup S] [--rounds N] [--ts FILE]\n",
				argv[0]);
			exit(2);
		}
	}
	return o;
}

std::string programme(const Options& o)
{
	if (o.tsFile.empty())
	{
		ts::Builder synthetic;
		synthetic.program(SYNTHETIC_PACKETS, 0x100, 0x101);
		return synthetic.bytes;
	}
	std::ifstream in(o.tsFile, std::ios::binary);
	std::stringstream bytes;
	bytes << in.rdbuf();
	return bytes.str();
}

eOXLEEngine* engine()
{
	return eOXLEEngine::getInstance();
}

// Runs the GUI loop until the engine is at rest again, calling sample every turn.
bool waitForStop(const std::function<void()>& sample)
{
	long long end = monotonicUs() + END_WAIT_MS * 1000LL;
	while (engine()->status != eOXLEEngine::STATUS_STOPPED)
	{
		if (monotonicUs() > end)
			return false;
		eApp->processOneEvent(1);
		sample();
	}
	return true;
}

int bufferedBytes()
{
	pthread_mutex_lock(&tsMutex_Stream);
	int size = tsBuffer_Stream.size();
	pthread_mutex_unlock(&tsMutex_Stream);
	return size;
}

// curl's own figure for the same stream, in MB/s; negative when curl failed.
double curlRate(int port)
{
	std::string command =
		"curl -s -o /dev/null -w '%{speed_download}' http://127.0.0.1:" + std::to_string(port) + "/dboxstream";
	FILE* pipe = popen(command.c_str(), "r");
	if (!pipe)
		return -1;
	char line[128] = {0};
	bool got = fgets(line, sizeof line, pipe) != nullptr;
	int rc = pclose(pipe);
	if (!got || rc != 0)
		return -1;
	return atof(line) / MB;
}

struct ThreadCpu
{
	long long ticks = 0; // utime + stime
	long long nanos = 0; // from schedstat
};

// CPU used so far by the threads of this process whose name is in names (all of
// them when names is empty).
ThreadCpu threadCpu(const std::vector<std::string>& names)
{
	ThreadCpu total;
	DIR* tasks = opendir("/proc/self/task");
	if (!tasks)
		return total;
	while (dirent* entry = readdir(tasks))
	{
		if (entry->d_name[0] == '.')
			continue;
		std::string base = std::string("/proc/self/task/") + entry->d_name;
		std::string comm;
		std::getline(std::ifstream(base + "/comm"), comm);
		bool wanted = names.empty();
		for (const std::string& name : names)
			wanted = wanted || comm == name;
		if (!wanted)
			continue;
		std::string stat;
		std::getline(std::ifstream(base + "/stat"), stat);
		size_t close = stat.rfind(')');
		if (close == std::string::npos)
			continue;
		std::istringstream fields(stat.substr(close + 2));
		std::string field;
		// Fields from the 3rd on; utime and stime are the 14th and 15th.
		for (int i = 3; i <= 15 && fields >> field; ++i)
			if (i == 14 || i == 15)
				total.ticks += atoll(field.c_str());
		long long ns = 0;
		std::ifstream(base + "/schedstat") >> ns;
		total.nanos += ns;
	}
	closedir(tasks);
	return total;
}

// One pass of the stream through the engine; MB/s from the socket to the device after
// the start, negative when the stream did not start or end.
double pluginRate(const std::string& pvrPath, bool virtualDecoder, double& deviceBytes)
{
	std::unique_ptr<StreamSink> sink;
	if (virtualDecoder)
		VirtualDecoder::instance().start(pvrPath, VirtualDecoder::Pacing::Fast);
	else
		sink = std::make_unique<StreamSink>(pvrPath);
	resetStreamTimings();
	streamTimings().startSettleMs = 0;
	streamTimings().decoderSettleMs = 0;

	engine()->control("start2", "/bench/film.avi", "0", "0", 1);
	long long t0 = monotonicUs();
	long long prebuffered = bufferedBytes();
	bool started = engine()->status == eOXLEEngine::STATUS_STARTED;

	long long lastBytes = 0, lastChange = t0;
	auto sample = [&] {
		long long now = sink ? sink->bytes() : VirtualDecoder::instance().stats().bytes;
		if (now != lastBytes)
		{
			lastBytes = now;
			lastChange = sink ? sink->lastByteUs() : monotonicUs();
		}
	};
	bool stopped = started && waitForStop(sample);
	sample();
	if (virtualDecoder)
		VirtualDecoder::instance().stop();
	sink.reset();
	killThreads_stream();
	unlink(pvrPath.c_str());
	deviceBytes = static_cast<double>(lastBytes);
	if (!started || !stopped || lastChange <= t0)
		return -1;
	// The prebuffered bytes came through the socket before t0.
	return (lastBytes - prebuffered) / MB / ((lastChange - t0) / 1e6);
}

double median(std::vector<double> values)
{
	std::sort(values.begin(), values.end());
	return values.empty() ? 0 : values[values.size() / 2];
}

std::string list(const std::vector<double>& values)
{
	std::string text;
	for (double v : values)
		text += (text.empty() ? "" : " ") + std::to_string(static_cast<int>(v));
	return text;
}

void benchThroughput(const Options& o, const std::string& pvrPath, std::atomic<int>& streamPort, bool virtualDecoder)
{
	std::string body = programme(o);
	FakeHttpStream::Script script;
	script.body = body;
	script.loops = std::max<size_t>(1, static_cast<size_t>(o.megabytes * MB / body.size()));
	script.chunkBytes = FAST_CHUNK_BYTES;
	FakeHttpStream http(script);
	streamPort = http.port();
	double total = static_cast<double>(body.size() * script.loops);

	// curl and the engine take turns, so that both see the same machine.
	std::vector<double> curl, plugin;
	double deviceBytes = 0;
	for (int round = 0; round < o.rounds; ++round)
	{
		curl.push_back(curlRate(http.port()));
		plugin.push_back(pluginRate(pvrPath, virtualDecoder, deviceBytes));
	}
	const char* what = virtualDecoder ? "virtual decoder (fast)" : "raw FIFO sink";
	double c = median(curl), p = median(plugin);
	printf("throughput, %s: %.0f MB a run, median of %d: plugin %.0f MB/s, curl %.0f MB/s, plugin/curl %.2f "
		   "(plugin runs: %s; curl runs: %s); bytes at the device %.0f of %.0f sent\n",
		what, total / MB, o.rounds, p, c, c > 0 ? p / c : 0.0, list(plugin).c_str(), list(curl).c_str(), deviceBytes,
		total);
}

void benchCpu(const Options& o, const std::string& pvrPath, std::atomic<int>& streamPort)
{
	double bytesPerSecond = o.mbit * 1e6 / 8;
	std::string body = programme(o);
	FakeHttpStream::Script script;
	script.body = body;
	script.chunkBytes = static_cast<size_t>(bytesPerSecond * PACED_GAP_MS / 1000);
	script.gapMs = PACED_GAP_MS;
	// Enough for the prebuffer (several seconds at this rate), the window and a margin.
	double needed = bytesPerSecond * (o.seconds + 30);
	script.loops = static_cast<size_t>(needed / body.size()) + 1;
	FakeHttpStream http(script);
	streamPort = http.port();

	VirtualDecoder::instance().start(pvrPath, VirtualDecoder::Pacing::Fast);
	resetStreamTimings();
	long long t0 = monotonicUs();
	engine()->control("start2", "/bench/film.avi", "0", "0", 1);
	long long started = monotonicUs();
	if (engine()->status != eOXLEEngine::STATUS_STARTED)
	{
		printf("cpu: the stream did not start\n");
		VirtualDecoder::instance().stop();
		return;
	}
	// The decoder takes the prebuffered seconds at once; the window starts after that.
	long long warmupEnd = monotonicUs() + o.warmup * 1000000LL;
	while (monotonicUs() < warmupEnd)
		eApp->processOneEvent(50);
	const std::vector<std::string> streamThreads = {RECEIVER_THREAD_NAME, FEEDER_THREAD_NAME};
	ThreadCpu before = threadCpu(streamThreads);
	ThreadCpu processBefore = threadCpu({});
	long long decoderBefore = VirtualDecoder::instance().stats().bytes;
	long long windowStart = monotonicUs();
	while (monotonicUs() - windowStart < o.seconds * 1000000LL)
		eApp->processOneEvent(50);
	long long windowUs = monotonicUs() - windowStart;
	ThreadCpu after = threadCpu(streamThreads);
	ThreadCpu receiverOnly = threadCpu({RECEIVER_THREAD_NAME});
	ThreadCpu feederOnly = threadCpu({FEEDER_THREAD_NAME});
	ThreadCpu processAfter = threadCpu({});
	long long decoderAfter = VirtualDecoder::instance().stats().bytes;
	bool stillPlaying = engine()->status == eOXLEEngine::STATUS_STARTED;

	engine()->status = eOXLEEngine::STATUS_CLOSING;
	waitForStop([] {});
	killThreads_stream();
	VirtualDecoder::instance().stop();

	double window = windowUs / 1e6;
	double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
	printf("cpu: %.1f Mbit/s stream (measured at the device: %.2f Mbit/s), start took %.1f s, window %.1f s after "
		   "%d s of warm-up%s\n",
		o.mbit, (decoderAfter - decoderBefore) * 8 / 1e6 / window, (started - t0) / 1e6, window, o.warmup,
		stillPlaying ? "" : " (the stream ended early!)");
	printf("cpu: receiver + feeder %.2f %% of one core (schedstat), %.2f %% (stat ticks); whole process %.1f %%\n",
		(after.nanos - before.nanos) / 1e7 / window, (after.ticks - before.ticks) / tick * 100 / window,
		(processAfter.nanos - processBefore.nanos) / 1e7 / window);
	printf(
		"cpu: since their start: receiver %.2f s, feeder %.2f s\n", receiverOnly.nanos / 1e9, feederOnly.nanos / 1e9);
}

void benchStartup(const Options& o, const std::string& pvrPath, std::atomic<int>& streamPort)
{
	std::string body = programme(o);
	FakeHttpStream::Script script;
	script.body = body;
	script.loops = std::max<size_t>(1, static_cast<size_t>(16 * MB / body.size()));
	script.chunkBytes = FAST_CHUNK_BYTES;
	FakeHttpStream http(script);
	streamPort = http.port();
	StreamSink sink(pvrPath);
	resetStreamTimings();

	long long t0 = monotonicUs();
	engine()->control("start2", "/bench/film.avi", "0", "0", 1);
	long long returned = monotonicUs();
	while (sink.firstByteUs() == 0 && monotonicUs() - t0 < 10000000)
		usleep(100);
	long long first = sink.firstByteUs();
	engine()->status = eOXLEEngine::STATUS_CLOSING;
	waitForStop([] {});
	killThreads_stream();
	if (first == 0)
	{
		printf("startup: no byte reached the device\n");
		return;
	}
	printf("startup: first byte at the device %.0f ms after the start request (start call returned after %.0f ms; "
		   "built-in waits 500 + 100 ms, prebuffer %d bytes)\n",
		(first - t0) / 1e3, (returned - t0) / 1e3, INITIALBUFFER);
}
} // namespace

int main(int argc, char** argv)
{
	Options o = parse(argc, argv);
	std::atomic<int> streamPort{0};
	FakeServer commands([&](const std::string& request) {
		if (request == "RQS|SPO|NO")
			return FakeServer::Reply::text(std::to_string(streamPort.load()));
		return FakeServer::Reply::text("+ok");
	});
	TempBoxRoot root(commands.port());
	if (!commands.ok() || !root.ok() || !root.writeFile("/dev/.keep", ""))
	{
		fprintf(stderr, "cannot set up the local servers and the box root\n");
		return 1;
	}
	setBoxRoot(root.path());
	DesktopServices::init();
	char* ip = nullptr;
	if (eConfig::getInstance()->getKey(TempBoxRoot::SERVER_IP_KEY, ip) != 0 || !ip || strcmp(ip, "127.0.0.1") != 0)
	{
		fprintf(stderr, "the box root does not point at 127.0.0.1\n");
		return 1;
	}
	free(ip);
	std::string pvrPath = root.file("/dev/pvr");

	if (o.only.empty() || o.only == "throughput")
	{
		benchThroughput(o, pvrPath, streamPort, false);
		benchThroughput(o, pvrPath, streamPort, true);
	}
	if (o.only.empty() || o.only == "startup")
	{
		benchStartup(o, pvrPath, streamPort);
		unlink(pvrPath.c_str());
	}
	if (o.only.empty() || o.only == "cpu")
		benchCpu(o, pvrPath, streamPort);
	if (o.only.empty() || o.only.rfind("path", 0) == 0)
	{
		// "path-full" or "path-paced" run one half.
		PathBenchOptions path;
		path.fullSpeed = o.only != "path-paced";
		path.paced = o.only != "path-full";
		benchPath(path, pvrPath, streamPort);
	}
	setBoxRoot("");
	return 0;
}
