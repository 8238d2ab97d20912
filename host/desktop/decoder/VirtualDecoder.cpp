#include "VirtualDecoder.h"

#include "AudioOutput.h"
#include "EsDecoder.h"
#include "Journal.h"
#include "PacingClock.h"
#include "PesDecoder.h"
#include "PictureConverter.h"
#include "TsDemux.h"
#include "UniqueFd.h"
#include "eDebug.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <mutex>
#include <nlohmann/json.hpp>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

// The box's decoder buffers about a megabyte; the pipe stands in for that buffer, so a
// writer blocks once it is that far ahead of the picture.
const int pipeCapacity = 1024 * 1024;
// Realtime reads are small so that the byte count follows the stream closely even at
// audio bit rates; fast reads take a whole feeder block at once.
const size_t realtimeReadSize = 28 * TsDemux::packetSize;
const size_t fastReadSize = 1392 * TsDemux::packetSize;
// A writer blocked on the full pipe wakes at every read, so at film bit rates a realtime
// read takes this fraction of a second of the stream: the feeder then wakes about this
// many times a second instead of once per 28 packets (over a hundred at 5 Mbit/s).
const size_t realtimeReadsPerSecond = 16;
const std::chrono::milliseconds rateWindow(1000);

// The realtime read size for a stream arriving at this many bytes a second: whole
// packets, never below the small audio-rate read nor above a feeder block.
size_t realtimeReadSizeFor(size_t bytesPerSecond)
{
	size_t packets = bytesPerSecond / realtimeReadsPerSecond / TsDemux::packetSize;
	return std::clamp(packets * TsDemux::packetSize, realtimeReadSize, fastReadSize);
}
const std::chrono::milliseconds journalInterval(1000);
// A still is one SD picture, a few hundred kilobytes at most.
const size_t maxStillSize = 4 * 1024 * 1024;
const int ptsToPcr = 300;
const int64_t msPerSecond = 1000;
const mode_t fifoMode = 0666;
// Wake-up bytes carry no data: any number of them are read away at once.
const size_t wakeDrainSize = 64;
// PES stream ids 0xE0..0xEF are MPEG video.
const int videoStreamMask = 0xF0;
const int videoStreamIds = 0xE0;

nlohmann::json countsByPid(const std::map<int, long long>& m)
{
	nlohmann::json o = nlohmann::json::object();
	for (const auto& [pid, n] : m)
		o[std::to_string(pid)] = n;
	return o;
}

nlohmann::json pvrLine(const VirtualDecoder::Stats& s, bool final)
{
	return {{"bytes", s.bytes}, {"packets", countsByPid(s.packets)}, {"pes", countsByPid(s.pes)},
		{"cc_errors", s.ccErrors}, {"video_frames", s.videoFrames}, {"audio_frames", s.audioFrames},
		{"decode_errors", s.decodeErrors}, {"final", final}};
}
} // namespace

struct VirtualDecoder::Impl : TsDemux::Listener
{
	void run();
	void applyRequests();
	// Waits until `due`; false when the data in hand must be dropped (a reset).
	bool waitUntil(Clock::time_point due);
	void publish();
	void journalIfDue(bool idle);
	void onPcr(int pid, int64_t pcr) override;
	void onPes(const TsDemux::Pes& pes) override;
	// False when the PES must be dropped (a reset came while waiting).
	bool paceByTimestamp(const TsDemux::Pes& pes);
	void showFrame(const AVFrame& picture, PictureConverter& conv);
	// Keeps the sound with the picture just shown, and notes how far apart they were.
	void noteSync(int64_t picturePts);
	void wakeReader();
	std::shared_ptr<AudioOutput> audioOutput();
	bool requestPending() const { return stopRequested || resetStream || paused || resetClock; }
	// With work held: the reader starts the stream afresh, and nothing decoded so far
	// counts for the new one.
	void requestReset();

	// Serialises start() and stop().
	std::mutex lifecycle;
	std::thread reader;
	bool running = false; // guarded by lifecycle

	// Guards the settings and requests below, the byte count and the descriptors. The
	// reader holds it while it reads and demultiplexes, and lets go of it while it waits
	// and while a picture is with the sink, so requests never wait long.
	std::mutex work;
	std::condition_variable changed;
	std::unique_lock<std::mutex>* held = nullptr; // the reader's lock on work, for the sink call
	int vpid = -1, apid = -1, atype = 0;
	bool paused = false;
	bool stopRequested = false;
	bool resetStream = false; // new PIDs or a flush: the reader starts the stream afresh
	bool resetClock = false;  // resume: the pause must not count as stream time
	long long bytes = 0;
	UniqueFd fifo;
	UniqueFd wakeRead, wakeWrite; // a byte in the pipe ends the reader's wait
	Pacing pacing = Pacing::Realtime;

	// Reader thread only (and start() before the thread exists).
	TsDemux demux;
	PesDecoder decoders;
	PictureConverter converter;
	PacingClock clock;
	bool clockFromPcr = false;   // a PCR was seen since the last reset: PTS no longer paces
	long long framesAtReset = 0; // the decoders' frame count when the last reset was applied
	// The PIDs the data in hand is demultiplexed with; the requested ones above may
	// already be newer.
	int activeVpid = -1, activeApid = -1;
	bool draining = false;
	Clock::time_point lastJournal;
	long long journaledBytes = -1;
	// How far the sound ran ahead of the last picture (negative: behind), in ms.
	long long soundAheadMs = 0;
	bool syncNoted = false;

	// Guards published.
	mutable std::mutex statsLock;
	Stats published;

	// Guards sink and sound.
	std::mutex sinkLock;
	std::shared_ptr<FrameSink> sink;
	// Fed by the reader while it holds work, and flushed by requests under work too, so
	// that no sound of a dropped stream follows a flush.
	std::shared_ptr<AudioOutput> sound;
};

VirtualDecoder& VirtualDecoder::instance()
{
	static VirtualDecoder decoder;
	return decoder;
}

VirtualDecoder::VirtualDecoder() : d(new Impl)
{
}

VirtualDecoder::~VirtualDecoder()
{
	// At exit the journal and the sink's screen may be gone already: end the thread
	// without telling anyone. The box calls stop() itself for the final line.
	std::lock_guard<std::mutex> guard(d->lifecycle);
	if (!d->running)
		return;
	{
		std::lock_guard<std::mutex> lock(d->sinkLock);
		d->sink.reset();
	}
	{
		std::lock_guard<std::mutex> lock(d->work);
		d->stopRequested = true;
		d->changed.notify_all();
	}
	d->wakeReader();
	d->reader.join();
}

bool VirtualDecoder::start(const std::string& fifoPath, Pacing pacing)
{
	std::lock_guard<std::mutex> guard(d->lifecycle);
	if (d->running)
	{
		eWarning("[decoder] already running");
		return false;
	}
	struct stat st;
	if (stat(fifoPath.c_str(), &st) == 0)
	{
		if (!S_ISFIFO(st.st_mode))
		{
			eWarning("[decoder] %s exists and is not a FIFO", fifoPath.c_str());
			return false;
		}
	}
	else if (mkfifo(fifoPath.c_str(), fifoMode) != 0 && errno != EEXIST)
	{
		eWarning("[decoder] cannot make FIFO %s: %s", fifoPath.c_str(), strerror(errno));
		return false;
	}
	// Holding the FIFO open for writing too means writers coming and going never give us
	// an end of file, and a blocking open by a writer never waits.
	UniqueFd device(open(fifoPath.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
	if (!device)
	{
		eWarning("[decoder] cannot open %s: %s", fifoPath.c_str(), strerror(errno));
		return false;
	}
	if (fcntl(device.get(), F_SETPIPE_SZ, pipeCapacity) < 0)
		eDebug("[decoder] pipe stays at its default size: %s", strerror(errno));
	int ends[2];
	if (pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0)
	{
		eWarning("[decoder] cannot make a wake-up pipe: %s", strerror(errno));
		return false;
	}

	std::lock_guard<std::mutex> lock(d->work);
	d->fifo = std::move(device);
	d->wakeRead.reset(ends[0]);
	d->wakeWrite.reset(ends[1]);
	d->pacing = pacing;
	d->paused = d->stopRequested = d->resetStream = d->resetClock = d->draining = false;
	d->bytes = 0;
	d->demux.clearCounts();
	d->demux.reset();
	d->demux.select(d->vpid, d->apid);
	d->activeVpid = d->vpid;
	d->activeApid = d->apid;
	d->decoders.setAudioType(d->atype);
	d->decoders.reset();
	d->decoders.clearCounts();
	d->framesAtReset = 0;
	d->clock.reset();
	d->clockFromPcr = false;
	d->lastJournal = Clock::now();
	d->journaledBytes = -1;
	d->publish();
	d->reader = std::thread([this] { d->run(); });
	d->running = true;
	return true;
}

void VirtualDecoder::stop()
{
	std::lock_guard<std::mutex> guard(d->lifecycle);
	if (!d->running)
		return;
	{
		std::lock_guard<std::mutex> lock(d->work);
		d->stopRequested = true;
		d->changed.notify_all();
	}
	d->wakeReader();
	d->reader.join();
	d->running = false;
	std::lock_guard<std::mutex> lock(d->work);
	d->fifo.reset();
	d->wakeRead.reset();
	d->wakeWrite.reset();
	Journal::instance().event("pvr", pvrLine(stats(), true));
}

void VirtualDecoder::setPids(int vpid, int apid, int audioType)
{
	std::lock_guard<std::mutex> lock(d->work);
	d->vpid = vpid;
	d->apid = apid;
	d->atype = audioType;
	if (auto out = d->audioOutput())
		out->clear();
	d->requestReset();
	d->changed.notify_all();
	d->wakeReader();
}

void VirtualDecoder::pause()
{
	std::lock_guard<std::mutex> lock(d->work);
	if (auto out = d->audioOutput())
		out->setPaused(true);
	d->paused = true;
	d->changed.notify_all();
}

void VirtualDecoder::resume()
{
	std::lock_guard<std::mutex> lock(d->work);
	if (!d->paused)
		return;
	if (auto out = d->audioOutput())
		out->setPaused(false);
	d->paused = false;
	d->resetClock = true;
	d->changed.notify_all();
	d->wakeReader();
}

void VirtualDecoder::flush()
{
	std::lock_guard<std::mutex> lock(d->work);
	// What sits in the pipe is the decoder's buffer: a flush throws it away, so that the
	// tail of one stream never plays at the head of the next.
	// Only what is there now: a writer that keeps writing must not keep us here.
	int queued = 0;
	if (d->fifo && ioctl(d->fifo.get(), FIONREAD, &queued) == 0 && queued > 0)
	{
		std::vector<uint8_t> junk(fastReadSize);
		ssize_t n;
		while (queued > 0 && (n = read(d->fifo.get(), junk.data(), std::min(junk.size(), size_t(queued)))) > 0)
		{
			d->bytes += n;
			queued -= int(n);
		}
		std::lock_guard<std::mutex> statsGuard(d->statsLock);
		d->published.bytes = d->bytes;
	}
	// A flushed decoder starts clean, paused or not: a stream stopped while paused
	// must not leave the next one stuck.
	if (auto out = d->audioOutput())
	{
		out->clear();
		out->setPaused(false);
	}
	d->paused = false;
	d->requestReset();
	d->changed.notify_all();
	d->wakeReader();
}

VirtualDecoder::Stats VirtualDecoder::stats() const
{
	std::lock_guard<std::mutex> lock(d->statsLock);
	return d->published;
}

void VirtualDecoder::setFrameSink(FrameSink sink)
{
	std::lock_guard<std::mutex> lock(d->sinkLock);
	d->sink = sink ? std::make_shared<FrameSink>(std::move(sink)) : nullptr;
}

void VirtualDecoder::setAudioOutput(std::shared_ptr<AudioOutput> output)
{
	std::lock_guard<std::mutex> lock(d->sinkLock);
	d->sound = std::move(output);
}

void VirtualDecoder::Impl::noteSync(int64_t picturePts)
{
	std::shared_ptr<AudioOutput> out = audioOutput();
	if (!out || !out->queue() || picturePts == AV_NOPTS_VALUE)
		return;
	if (out->queue()->clock() == AudioQueue::noPts)
		return;
	soundAheadMs = out->queue()->follow(picturePts) * msPerSecond / AudioQueue::ptsPerSecond;
	syncNoted = true;
}

std::shared_ptr<AudioOutput> VirtualDecoder::Impl::audioOutput()
{
	std::lock_guard<std::mutex> lock(sinkLock);
	return sound;
}

bool VirtualDecoder::showStill(const std::string& path)
{
	std::ifstream in(path, std::ios::binary);
	// Read one byte more than a still may have, so that an oversized file (or a device
	// that never ends) is refused rather than swallowed.
	std::vector<uint8_t> data(maxStillSize + 1);
	in.read(reinterpret_cast<char*>(data.data()), std::streamsize(data.size()));
	data.resize(in.gcount() > 0 ? size_t(in.gcount()) : 0);
	if (data.size() > maxStillSize)
		data.clear();
	bool shown = false;
	if (!data.empty())
	{
		EsDecoder still(AV_CODEC_ID_MPEG2VIDEO);
		PictureConverter conv;
		auto onPicture = [&](const AVFrame& picture) {
			if (shown)
				return;
			shown = true;
			d->showFrame(picture, conv);
		};
		still.decode(data.data(), data.size(), onPicture);
		still.drain(onPicture);
	}
	if (!shown)
		eWarning("[decoder] no picture in still %s", path.c_str());
	Journal::instance().event("showiframe", {{"file", path}, {"ok", shown}});
	return shown;
}

void VirtualDecoder::Impl::showFrame(const AVFrame& picture, PictureConverter& conv)
{
	std::shared_ptr<FrameSink> target;
	{
		std::lock_guard<std::mutex> lock(sinkLock);
		target = sink;
	}
	if (!target || !conv.convert(picture))
		return;
	Frame f;
	f.width = conv.width();
	f.height = conv.height();
	f.argb = conv.pixels();
	(*target)(f);
}

void VirtualDecoder::Impl::wakeReader()
{
	if (!wakeWrite)
		return;
	const char byte = 1;
	// A full wake-up pipe already says what this byte would say.
	if (write(wakeWrite.get(), &byte, 1) < 0 && errno != EAGAIN)
		eDebug("[decoder] wake-up failed: %s", strerror(errno));
}

void VirtualDecoder::Impl::requestReset()
{
	resetStream = true;
	std::lock_guard<std::mutex> lock(statsLock);
	published.framesSinceReset = 0;
}

void VirtualDecoder::Impl::publish()
{
	const TsDemux::Counts& c = demux.getCounts();
	const long long frames = decoders.videoFrames() + decoders.audioFrames();
	std::lock_guard<std::mutex> lock(statsLock);
	// Until the reader has applied a reset, what it decodes still belongs to the old stream.
	published.framesSinceReset = resetStream ? 0 : frames - framesAtReset;
	published.bytes = bytes;
	published.packets = c.packets;
	published.pes = c.pes;
	published.ccErrors = c.ccErrors;
	published.videoFrames = decoders.videoFrames();
	published.audioFrames = decoders.audioFrames();
	published.decodeErrors = decoders.errors() + c.badPes;
}

void VirtualDecoder::Impl::journalIfDue(bool idle)
{
	Clock::time_point now = Clock::now();
	if (bytes == journaledBytes || (!idle && now - lastJournal < journalInterval))
		return;
	publish();
	Stats s;
	{
		std::lock_guard<std::mutex> lock(statsLock);
		s = published;
	}
	Journal::instance().event("pvr", pvrLine(s, false));
	if (syncNoted)
	{
		eDebug("[audio] the sound runs %lld ms %s the picture", std::llabs(soundAheadMs),
			soundAheadMs < 0 ? "behind" : "ahead of");
		syncNoted = false;
	}
	lastJournal = now;
	journaledBytes = bytes;
}

void VirtualDecoder::Impl::applyRequests()
{
	if (resetStream)
	{
		resetStream = false;
		resetClock = false;
		demux.reset();
		demux.select(vpid, apid);
		activeVpid = vpid;
		activeApid = apid;
		decoders.setAudioType(atype);
		decoders.reset();
		framesAtReset = decoders.videoFrames() + decoders.audioFrames();
		clock.reset();
		clockFromPcr = false;
	}
	if (resetClock)
	{
		resetClock = false;
		clock.reset();
	}
}

void VirtualDecoder::Impl::run()
{
	std::vector<uint8_t> buffer(fastReadSize);
	size_t readSize = pacing == Pacing::Realtime ? realtimeReadSize : fastReadSize;
	Clock::time_point windowStart = Clock::now();
	size_t windowBytes = 0;
	std::unique_lock<std::mutex> lock(work);
	held = &lock;
	while (!stopRequested)
	{
		if (paused)
		{
			publish();
			changed.wait(lock, [this] { return !paused || stopRequested; });
			continue;
		}
		applyRequests();
		ssize_t n = read(fifo.get(), buffer.data(), readSize);
		if (n > 0)
		{
			bytes += n;
			windowBytes += size_t(n);
			Clock::time_point now = Clock::now();
			if (pacing == Pacing::Realtime && now - windowStart >= rateWindow)
			{
				auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - windowStart).count();
				readSize = realtimeReadSizeFor(windowBytes * size_t(msPerSecond) / size_t(ms));
				windowStart = now;
				windowBytes = 0;
			}
			publish();
			demux.feed(buffer.data(), size_t(n), *this);
			publish();
			journalIfDue(false);
			continue;
		}
		if (n < 0 && errno != EAGAIN && errno != EINTR)
		{
			eWarning("[decoder] reading the FIFO failed: %s", strerror(errno));
			break;
		}
		// Nothing to read: wait for data or a request without holding the lock.
		bool quiet = bytes == journaledBytes;
		int timeout = quiet ? -1 : int(journalInterval.count());
		lock.unlock();
		pollfd fds[] = {{fifo.get(), POLLIN, 0}, {wakeRead.get(), POLLIN, 0}};
		int ready = poll(fds, std::size(fds), timeout);
		if (ready > 0 && (fds[1].revents & POLLIN))
		{
			char drain[wakeDrainSize];
			while (read(wakeRead.get(), drain, sizeof(drain)) > 0)
			{
			}
		}
		lock.lock();
		if (ready == 0)
			journalIfDue(true);
	}
	// Hand out what is still in the pipeline so that the final counts are complete.
	draining = true;
	demux.finish(*this);
	std::shared_ptr<AudioOutput> out = audioOutput();
	decoders.drain([this](const AVFrame& f) { showFrame(f, converter); },
		[&out](const AVFrame& f) {
			if (out)
				out->push(f);
		});
	publish();
	held = nullptr;
}

bool VirtualDecoder::Impl::waitUntil(Clock::time_point due)
{
	for (;;)
	{
		if (resetStream)
		{
			demux.abortFeed();
			return false;
		}
		// Data already read is still counted and decoded at a stop, only without waiting.
		if (stopRequested)
			return true;
		if (paused)
		{
			publish();
			changed.wait(*held, [this] { return !paused || stopRequested || resetStream; });
			continue;
		}
		if (resetClock)
		{
			// Resumed: this stamp anchors the clock afresh.
			resetClock = false;
			clock.reset();
			return true;
		}
		if (Clock::now() >= due)
			return true;
		publish();
		journalIfDue(false);
		changed.wait_until(*held, due, [this] { return requestPending(); });
	}
}

void VirtualDecoder::Impl::onPcr(int, int64_t pcr)
{
	if (pacing != Pacing::Realtime || draining)
		return;
	clockFromPcr = true;
	waitUntil(clock.due(pcr, Clock::now()));
}

bool VirtualDecoder::Impl::paceByTimestamp(const TsDemux::Pes& pes)
{
	// Only a stream without a PCR is paced by its PES time stamps.
	int64_t stamp = pes.dts >= 0 ? pes.dts : pes.pts;
	if (pacing != Pacing::Realtime || draining || clockFromPcr || stamp < 0)
		return true;
	return waitUntil(clock.due(stamp * ptsToPcr, Clock::now()));
}

void VirtualDecoder::Impl::onPes(const TsDemux::Pes& pes)
{
	// The plugin leaves the old video PID in place for an audio-only stream, which may
	// then carry its audio on that very PID: the stream id tells them apart.
	bool video =
		pes.pid == activeVpid && (activeVpid != activeApid || (pes.streamId & videoStreamMask) == videoStreamIds);
	bool audio = !video && pes.pid == activeApid;
	if (!(video || audio) || !paceByTimestamp(pes) || resetStream)
		return;
	if (audio)
	{
		std::shared_ptr<AudioOutput> out = audioOutput();
		decoders.audio(pes, [&out](const AVFrame& f) {
			if (out)
				out->push(f);
		});
		return;
	}
	decoders.video(pes, [this](const AVFrame& f) {
		// The sink may take its time (scaling, a screen lock): let requests through.
		held->unlock();
		showFrame(f, converter);
		noteSync(f.pts);
		held->lock();
		if (resetStream)
			demux.abortFeed();
	});
}
