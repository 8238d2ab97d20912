#include "PathBench.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "FakeHttpStream.h"
#include "ProcCounters.h"
#include "StreamSink.h"
#include "StreamThreads.h"
#include "StreamTimings.h"
#include "Ts.h"
#include "VirtualDecoder.h"
#include "eMainloop.h"
#include "eOXLEEngine.h"
#include "oxleGlobals.h"

namespace
{
const double MIB = 1024.0 * 1024.0;
const double NS_PER_MS = 1e6;
const int US_PER_MS = 1000;
const int KIB = 1024;
const size_t FAST_CHUNK_BYTES = 256 * 1024;
const int VIDEO_PID = 0x100, AUDIO_PID = 0x101;
// A PCR every 20 ms of stream, as encoders put them (at most 100 ms apart).
const double PCR_GAP_S = 0.020;
const double PCR_HZ = 27e6;
// Ten seconds of programme, looped: the decoder's clock re-anchors at each loop.
const int PROGRAMME_SECONDS = 10;
const int AUDIO_SHARE = 4; // one packet in four is audio
const int PES_EVERY = 8;
const int STOP_WAIT_MS = 60000;
const int SETTLE_MS = 500;
const int TINY_PACKETS = 10;

eOXLEEngine* engine()
{
	return eOXLEEngine::getInstance();
}

void pumpMs(int ms)
{
	long long end = monotonicUs() + ms * 1000LL;
	while (monotonicUs() < end)
		eApp->processOneEvent(std::min(50, ms));
}

bool waitForStop()
{
	long long end = monotonicUs() + STOP_WAIT_MS * 1000LL;
	while (engine()->status != eOXLEEngine::STATUS_STOPPED)
	{
		if (monotonicUs() > end)
			return false;
		eApp->processOneEvent(1);
	}
	return true;
}

void endStream()
{
	const int status = engine()->status;
	if (status != eOXLEEngine::STATUS_STOPPED && status != eOXLEEngine::STATUS_ERROR)
	{
		engine()->status = eOXLEEngine::STATUS_CLOSING;
		waitForStop();
	}
	killThreads_stream();
	engine()->status = eOXLEEngine::STATUS_STOPPED;
}

int bufferedBytes()
{
	pthread_mutex_lock(&tsMutex_Stream);
	int size = tsBuffer_Stream.size();
	pthread_mutex_unlock(&tsMutex_Stream);
	return size;
}

struct CurlCost
{
	double cpuMs = -1;
	long long minorFaults = 0;
};

// curl fetching the stream at port into path, start to end.
CurlCost curlInto(int port, const std::string& path)
{
	CurlCost cost;
	pid_t pid = spawnCurl({"curl", "-s", "-o", path, "http://127.0.0.1:" + std::to_string(port) + "/dboxstream"});
	int status = 0;
	rusage usage{};
	if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
		return cost;
	cost.cpuMs =
		(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
	cost.minorFaults = usage.ru_minflt;
	return cost;
}

struct Spread
{
	double min = 0, median = 0;
};

Spread spread(std::vector<double> values)
{
	Spread s;
	if (values.empty())
		return s;
	std::sort(values.begin(), values.end());
	s.min = values.front();
	s.median = values[values.size() / 2];
	return s;
}

std::string listed(const std::vector<double>& values)
{
	std::string text;
	char one[32];
	for (double v : values)
	{
		snprintf(one, sizeof one, "%s%.3g", text.empty() ? "" : " ", v);
		text += one;
	}
	return text;
}

// One figure beside its reference: bench/run turns each into a row of RESULTS.md.
void row(const std::string& figure, const std::vector<double>& values, const std::string& unit,
	const std::string& reference, const std::vector<double>& refValues, const std::string& note)
{
	Spread v = spread(values), r = spread(refValues);
	printf("path-row: %s | %.4f | %.4f | %s | %s | %.4f | %.4f | %d runs (%s; reference %s); %s\n", figure.c_str(),
		v.median, v.min, unit.c_str(), reference.c_str(), r.median, r.min, int(values.size()), listed(values).c_str(),
		refValues.empty() ? "fixed" : listed(refValues).c_str(), note.c_str());
	fflush(stdout);
}

std::string syntheticProgramme(int packets)
{
	ts::Builder b;
	b.program(packets, VIDEO_PID, AUDIO_PID);
	return b.bytes;
}

// A programme the virtual decoder paces at mbit Mbit/s by its PCRs.
std::string pacedProgramme(double mbit)
{
	const double bytesPerSecond = mbit * 1e6 / 8;
	const int packets = int(bytesPerSecond * PROGRAMME_SECONDS / ts::PACKET_SIZE);
	const int pcrEvery = std::max(1, int(bytesPerSecond * PCR_GAP_S / ts::PACKET_SIZE));
	ts::Builder b;
	std::map<int, int> sent;
	for (int i = 0; i < packets; ++i)
	{
		if (i % pcrEvery == 0)
		{
			const long long pcr = static_cast<long long>(i * double(ts::PACKET_SIZE) / bytesPerSecond * PCR_HZ);
			// An adaptation field alone: a payload flag on a full field is a damaged header.
			b.packet({VIDEO_PID, false, ts::NEXT, ts::NEEDED, pcr, false, false});
			continue;
		}
		const bool audio = i % AUDIO_SHARE == AUDIO_SHARE - 1;
		const int pid = audio ? AUDIO_PID : VIDEO_PID;
		const bool start = sent[pid]++ % PES_EVERY == 0;
		b.packet({pid, start},
			start ? ts::pes(audio ? ts::AUDIO_STREAM_ID : ts::VIDEO_STREAM_ID)
				  : std::string(ts::PACKET_SIZE - 4, ts::FILLER));
	}
	return b.bytes;
}

// Full speed: the engine and curl take turns writing the same stream into the same
// FIFO, which a reader drains as fast as it can.
void fullSpeed(const PathBenchOptions& o, const std::string& pvrPath, std::atomic<int>& streamPort)
{
	std::string body = syntheticProgramme(int(MIB / ts::PACKET_SIZE));
	FakeHttpStream::Script script;
	script.body = body;
	script.loops = std::max<size_t>(1, size_t(o.megabytes * MIB / body.size()));
	script.chunkBytes = FAST_CHUNK_BYTES;
	FakeHttpStream http(script);
	const long long total = static_cast<long long>(body.size() * script.loops);
	FakeHttpStream::Script tinyScript;
	tinyScript.body = syntheticProgramme(TINY_PACKETS);
	FakeHttpStream tiny(tinyScript);
	const std::string load = loadAverage();

	// curl's start-up (exec, libraries, TLS set-up) is no cost of moving bytes.
	std::vector<CurlCost> startups;
	for (int run = 0; run < o.runs; ++run)
	{
		StreamSink sink(pvrPath);
		startups.push_back(curlInto(tiny.port(), pvrPath));
	}
	std::vector<double> startCpu, startFaults;
	for (const CurlCost& c : startups)
	{
		startCpu.push_back(c.cpuMs);
		startFaults.push_back(double(c.minorFaults));
	}
	const double curlStartCpu = spread(startCpu).median, curlStartFaults = spread(startFaults).median;

	std::vector<double> engineCpu, engineFaults, curlCpu, curlFaults, receiverCpu, feederCpu;
	for (int run = 0; run < o.runs; ++run)
	{
		{
			StreamSink sink(pvrPath);
			CurlCost c = curlInto(http.port(), pvrPath);
			if (c.cpuMs >= 0)
			{
				curlCpu.push_back((c.cpuMs - curlStartCpu) / (total / MIB));
				curlFaults.push_back((double(c.minorFaults) - curlStartFaults) / (total / MIB));
			}
		}
		streamPort = http.port();
		StreamSink sink(pvrPath);
		resetStreamTimings();
		streamTimings().startSettleMs = 0;
		streamTimings().decoderSettleMs = 0;
		engine()->control("start2", "/bench/film.avi", "0", "0", 1);
		const long long prebuffered = bufferedBytes();
		if (engine()->status != eOXLEEngine::STATUS_STARTED)
		{
			printf("path: full speed, the stream did not start\n");
			continue;
		}
		long long giveUp = monotonicUs() + STOP_WAIT_MS * 1000LL;
		while (sink.bytes() < total && monotonicUs() < giveUp)
			eApp->processOneEvent(1);
		// The threads wait out the stream's end now: their counters are complete.
		TaskCounters r = taskCounters("/proc/self", RECEIVER_THREAD_NAME);
		TaskCounters f = taskCounters("/proc/self", FEEDER_THREAD_NAME);
		const bool complete = sink.bytes() == total;
		endStream();
		if (!complete)
		{
			printf("path: full speed, %lld of %lld bytes reached the FIFO\n", sink.bytes(), total);
			continue;
		}
		const double mib = (total - prebuffered) / MIB;
		receiverCpu.push_back(r.cpuNs / NS_PER_MS / mib);
		feederCpu.push_back(f.cpuNs / NS_PER_MS / mib);
		engineCpu.push_back((r.cpuNs + f.cpuNs) / NS_PER_MS / mib);
		engineFaults.push_back(double(r.minorFaults + f.minorFaults) / mib);
	}
	unlink(pvrPath.c_str());
	char note[512];
	snprintf(note, sizeof note,
		"%.0f MiB a run; receiver %.3f, feeder %.3f ms/MiB (medians); curl's start-up (%.1f ms, %.0f faults) "
		"subtracted; load %s",
		total / MIB, spread(receiverCpu).median, spread(feederCpu).median, curlStartCpu, curlStartFaults, load.c_str());
	row("CPU per MiB, receiver + feeder, full speed into a drained FIFO", engineCpu, "ms/MiB",
		"curl -o the same FIFO, same stream and server", curlCpu, note);
	row("page faults per MiB, receiver + feeder, full speed into a drained FIFO", engineFaults, "faults/MiB",
		"curl -o the same FIFO, same stream and server", curlFaults, note);
}

struct PacedRun
{
	TaskCounters receiver, feeder;
	double seconds = 0, mbit = 0;
	long long idleKb = 0, playingKb = 0, stoppedKb = 0, idleAnonKb = 0, playingAnonKb = 0, stoppedAnonKb = 0;
};

bool enginePaced(const PathBenchOptions& o, const std::string& pvrPath, PacedRun& run)
{
	VirtualDecoder::instance().start(pvrPath, VirtualDecoder::Pacing::Realtime);
	pumpMs(SETTLE_MS);
	run.idleKb = statusKb("VmRSS");
	run.idleAnonKb = statusKb("RssAnon");
	resetStreamTimings();
	engine()->control("start2", "/bench/film.avi", "0", "0", 1);
	bool started = engine()->status == eOXLEEngine::STATUS_STARTED;
	if (started)
	{
		pumpMs(o.warmup * 1000);
		TaskCounters r0 = taskCounters("/proc/self", RECEIVER_THREAD_NAME);
		TaskCounters f0 = taskCounters("/proc/self", FEEDER_THREAD_NAME);
		long long bytes0 = VirtualDecoder::instance().stats().bytes, t0 = monotonicUs();
		pumpMs(o.seconds * 1000);
		run.receiver = minus(taskCounters("/proc/self", RECEIVER_THREAD_NAME), r0);
		run.feeder = minus(taskCounters("/proc/self", FEEDER_THREAD_NAME), f0);
		run.seconds = (monotonicUs() - t0) / 1e6;
		run.mbit = (VirtualDecoder::instance().stats().bytes - bytes0) * 8 / 1e6 / run.seconds;
		run.playingKb = statusKb("VmRSS");
		run.playingAnonKb = statusKb("RssAnon");
		started = engine()->status == eOXLEEngine::STATUS_STARTED;
	}
	if (!started)
		printf("path: paced, the stream %s (status %d)\n", run.seconds > 0 ? "ended early" : "did not start",
			engine()->status.load());
	endStream();
	pumpMs(SETTLE_MS);
	run.stoppedKb = statusKb("VmRSS");
	run.stoppedAnonKb = statusKb("RssAnon");
	VirtualDecoder::instance().stop();
	unlink(pvrPath.c_str());
	return started;
}

// curl --limit-rate on the same stream: its whole process over the same window.
bool curlPaced(const PathBenchOptions& o, int port, TaskCounters& used)
{
	const long long bytesPerSecond = static_cast<long long>(o.mbit * 1e6 / 8);
	pid_t pid = spawnCurl({"curl", "-s", "-o", "/dev/null", "--limit-rate", std::to_string(bytesPerSecond),
		"http://127.0.0.1:" + std::to_string(port) + "/dboxstream"});
	if (pid < 0)
		return false;
	const std::string proc = "/proc/" + std::to_string(pid);
	usleep(useconds_t(o.warmup) * 1000 * US_PER_MS);
	TaskCounters c0 = taskCounters(proc, "");
	usleep(useconds_t(o.seconds) * 1000 * US_PER_MS);
	used = minus(taskCounters(proc, ""), c0);
	kill(pid, SIGTERM);
	int status;
	waitpid(pid, &status, 0);
	return used.cpuNs > 0;
}

// The stream server in a process of its own, so that its buffers are not counted as the
// engine's memory. Serves script until the parent closes the pipe; the port or -1.
class ServerProcess
{
public:
	explicit ServerProcess(const FakeHttpStream::Script& script)
	{
		int toChild[2], fromChild[2];
		if (pipe(toChild) != 0)
			return;
		if (pipe(fromChild) != 0)
		{
			close(toChild[0]);
			close(toChild[1]);
			return;
		}
		pid = fork();
		if (pid == 0)
		{
			close(toChild[1]);
			close(fromChild[0]);
			FakeHttpStream http(script);
			int served = http.ok() ? http.port() : -1;
			if (write(fromChild[1], &served, sizeof served) == sizeof served)
			{
				char byte;
				while (read(toChild[0], &byte, 1) > 0)
				{
				}
			}
			_exit(0);
		}
		close(toChild[0]);
		close(fromChild[1]);
		holdOpen = toChild[1];
		if (pid < 0 || read(fromChild[0], &port, sizeof port) != sizeof port)
			port = -1;
		close(fromChild[0]);
	}
	~ServerProcess()
	{
		if (holdOpen >= 0)
			close(holdOpen);
		int status;
		if (pid > 0)
			waitpid(pid, &status, 0);
	}
	ServerProcess(const ServerProcess&) = delete;
	ServerProcess& operator=(const ServerProcess&) = delete;
	int port = -1;

private:
	pid_t pid = -1;
	int holdOpen = -1;
};

// Decoder-paced: the virtual decoder plays the stream at its PCR's pace and the fast
// server keeps the buffer full, as a box that plays a file from a PC does.
void paced(const PathBenchOptions& o, const std::string& pvrPath, std::atomic<int>& streamPort)
{
	FakeHttpStream::Script script;
	script.body = pacedProgramme(o.mbit);
	const double neededBytes = o.mbit * 1e6 / 8 * (o.seconds + o.warmup + 60);
	script.loops = size_t(neededBytes / script.body.size()) + 1;
	script.chunkBytes = FAST_CHUNK_BYTES;
	const std::string load = loadAverage();

	std::vector<double> receiverWake, feederWake, engineCpu, curlWake, curlCpu, playing, stopped, playingAnon,
		stoppedAnon, sinceFirst;
	long long firstIdleKb = -1;
	double engineMbit = 0;
	for (int i = 0; i < o.runs; ++i)
	{
		ServerProcess server(script);
		if (server.port < 0)
		{
			printf("path: paced, no stream server\n");
			return;
		}
		{
			TaskCounters used;
			if (curlPaced(o, server.port, used))
			{
				curlWake.push_back(used.wakeups / double(o.seconds));
				curlCpu.push_back(used.cpuNs / 1e7 / o.seconds);
			}
		}
		streamPort = server.port;
		PacedRun run;
		if (!enginePaced(o, pvrPath, run))
		{
			printf("path: paced run %d did not play through its window\n", i);
			continue;
		}
		if (firstIdleKb < 0)
			firstIdleKb = run.idleKb;
		engineMbit = run.mbit;
		receiverWake.push_back(run.receiver.wakeups / run.seconds);
		feederWake.push_back(run.feeder.wakeups / run.seconds);
		engineCpu.push_back((run.receiver.cpuNs + run.feeder.cpuNs) / 1e7 / run.seconds);
		playing.push_back((run.playingKb - run.idleKb) / double(KIB));
		playingAnon.push_back((run.playingAnonKb - run.idleAnonKb) / double(KIB));
		stopped.push_back((run.stoppedKb - run.idleKb) / double(KIB));
		stoppedAnon.push_back((run.stoppedAnonKb - run.idleAnonKb) / double(KIB));
		sinceFirst.push_back((run.stoppedKb - firstIdleKb) / double(KIB));
	}
	char note[512];
	snprintf(note, sizeof note,
		"%d s window after %d s; the device took %.2f Mbit/s, curl limited to %.0f bytes/s; load %s", o.seconds,
		o.warmup, engineMbit, o.mbit * 1e6 / 8, load.c_str());
	const std::string curlRef = "curl --limit-rate, same stream, whole process";
	row("wake-ups per second, receiver, decoder-paced " + std::to_string(int(o.mbit)) + " Mbit/s", receiverWake, "/s",
		curlRef, curlWake, note);
	row("wake-ups per second, feeder, decoder-paced " + std::to_string(int(o.mbit)) + " Mbit/s", feederWake, "/s",
		curlRef, curlWake, note);
	row("CPU of receiver + feeder, decoder-paced " + std::to_string(int(o.mbit)) + " Mbit/s", engineCpu, "% of a core",
		curlRef, curlCpu, note);
	const double prebufferMiB = INITIALBUFFER / MIB;
	snprintf(note, sizeof note, "anonymous: %s MiB; prebuffer %.2f MiB; load %s", listed(playingAnon).c_str(),
		prebufferMiB, load.c_str());
	row("process RSS over idle while playing", playing, "MiB", "goal: prebuffer + 2 MiB", {prebufferMiB + 2}, note);
	snprintf(note, sizeof note,
		"over the idle RSS before each run; anonymous: %s MiB; over the idle before the first stream: %s MiB; load %s",
		listed(stoppedAnon).c_str(), listed(sinceFirst).c_str(), load.c_str());
	row("process RSS over idle after stop", stopped, "MiB", "goal: idle + 1 MiB", {1}, note);
}
} // namespace

void benchPath(const PathBenchOptions& options, const std::string& pvrPath, std::atomic<int>& streamPort)
{
	if (options.fullSpeed)
		fullSpeed(options, pvrPath, streamPort);
	if (options.paced)
		paced(options, pvrPath, streamPort);
}
