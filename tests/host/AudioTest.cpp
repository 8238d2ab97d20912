#include <gtest/gtest.h>

#include <fcntl.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "AudioOutput.h"
#include "AudioQueue.h"
#include "Decoder.h"
#include "FdIo.h"
#include "MediaMaker.h"
#include "PesDecoder.h"
#include "TempDir.h"
#include "TsDemux.h"
#include "UniqueFd.h"
#include "VirtualDecoder.h"
#include "WaitUntil.h"

namespace
{
using Placed = AudioQueue::Placed;
using std::chrono::milliseconds;

// 10 PTS ticks a sample: stamps and sample counts read off each other at a glance.
const int tableRate = 9000;
const int ticksPerFrame = 10;
const int mono = 1;
const int capacityMs = 1000;
const int noLead = 0;
// The clips the kit makes: ffmpeg's own PIDs.
const int clipVideoPid = 0x100, clipAudioPid = 0x101;
// How long a paused clock is watched.
const milliseconds pausedFor(300);

void push(AudioQueue& q, int16_t value, size_t frames, int64_t pts, std::vector<Placed>* placed = nullptr)
{
	const std::vector<int16_t> pcm(frames, value);
	const Placed p = q.push(pcm.data(), frames, pts);
	if (placed)
		placed->push_back(p);
}

// What came out as runs, "1x100 0x200 2x100".
std::string pull(AudioQueue& q, size_t frames)
{
	std::vector<int16_t> out(frames * size_t(q.channels()), int16_t(-1));
	q.pull(out.data(), frames);
	std::ostringstream runs;
	for (size_t i = 0; i < out.size();)
	{
		size_t j = i;
		while (j < out.size() && out[j] == out[i])
			j++;
		runs << (i ? " " : "") << out[i] << "x" << (j - i);
		i = j;
	}
	return runs.str();
}
} // namespace

TEST(AudioQueueTest, PlacesSoundByItsStamps)
{
	const int64_t wrap = AudioQueue::ptsWrap;
	struct Push
	{
		int16_t value;
		size_t frames;
		int64_t pts;
	};
	struct Row
	{
		const char* what;
		std::vector<Push> pushes;
		std::vector<Placed> placed;
		std::string heard; // all that is queued, pulled at once
		int64_t clock;     // after that
	};
	const Row rows[] = {
		{"on time", {{1, 100, 0}, {2, 100, 1000}}, {Placed::Appended, Placed::Appended}, "1x100 2x100", 2000},
		{"unstamped follows", {{1, 100, 0}, {2, 100, -1}}, {Placed::Appended, Placed::Appended}, "1x100 2x100", 2000},
		{"a stamp's jitter is on time", {{1, 100, 0}, {2, 100, 1500}}, {Placed::Appended, Placed::Appended},
			"1x100 2x100", 2000},
		{"early: silence until due", {{1, 100, 0}, {2, 100, 3000}}, {Placed::Appended, Placed::GapFilled},
			"1x100 0x200 2x100", 4000},
		{"partly late: the rest", {{1, 300, 0}, {2, 300, 1000}}, {Placed::Appended, Placed::Trimmed}, "1x300 2x100",
			4000},
		{"wholly late", {{1, 300, 0}, {2, 100, 1000}}, {Placed::Appended, Placed::DroppedLate}, "1x300", 3000},
		{"a jump ahead starts a new timeline", {{1, 100, 0}, {2, 100, 900000}}, {Placed::Appended, Placed::Cut},
			"1x100 2x100", 901000},
		{"a jump back too", {{1, 100, 900000}, {2, 100, 0}}, {Placed::Appended, Placed::Cut}, "1x100 2x100", 1000},
		{"across the wrap", {{1, 100, wrap - 500}, {2, 100, 500}}, {Placed::Appended, Placed::Appended}, "1x100 2x100",
			1500},
		{"one step less than a cut is a gap", {{1, 10, 0}, {2, 10, 100 + 8900 * ticksPerFrame}},
			{Placed::Appended, Placed::GapFilled}, "1x10 0x8900 2x10", 89200},
		// A second's worth waits at most: the oldest goes, and the clock skips it.
		{"too much waiting", {{1, 9000, 0}, {2, 1000, 90000}}, {Placed::Appended, Placed::Appended}, "1x8000 2x1000",
			100000},
	};
	for (const Row& row : rows)
	{
		SCOPED_TRACE(row.what);
		AudioQueue q(tableRate, mono, capacityMs, noLead);
		std::vector<Placed> placed;
		for (const Push& p : row.pushes)
			push(q, p.value, p.frames, p.pts, &placed);
		EXPECT_EQ(placed, row.placed);
		EXPECT_EQ(pull(q, q.queuedFrames()), row.heard);
		EXPECT_EQ(q.clock(), row.clock);
	}
}

TEST(AudioQueueTest, StarvedTheClockWaits)
{
	const int leadMs = 10; // 90 frames
	AudioQueue q(tableRate, mono, capacityMs, leadMs);
	EXPECT_EQ(q.clock(), AudioQueue::noPts);
	EXPECT_EQ(pull(q, 50), "0x50") << "nothing queued yet";
	EXPECT_EQ(q.clock(), AudioQueue::noPts);

	push(q, 1, 100, 0);
	EXPECT_EQ(q.clock(), -900 + AudioQueue::ptsWrap) << "the lead plays before the stamp";
	EXPECT_EQ(pull(q, 120), "0x90 1x30");
	EXPECT_EQ(q.clock(), 300);

	EXPECT_EQ(pull(q, 170), "1x70 0x100");
	EXPECT_EQ(q.clock(), 1000) << "starved, the clock waits for the sound";

	q.clear();
	EXPECT_EQ(q.clock(), AudioQueue::noPts);
	EXPECT_EQ(q.queuedFrames(), 0u);
}

TEST(AudioQueueTest, SoundThatFallsBehindThePictureCatchesUp)
{
	const int leadMs = 10; // 90 frames; 100 ms more (900 frames) are let be
	AudioQueue q(tableRate, mono, capacityMs, leadMs);
	push(q, 1, 5000, 0);
	EXPECT_EQ(pull(q, 190), "0x90 1x100");
	ASSERT_EQ(q.clock(), 1000);

	// what, the picture's stamp, what follow() says, the clock after it
	const std::tuple<const char*, int64_t, int64_t, int64_t> rows[] = {
		{"in step", 1000, 0, 1000},
		{"sound ahead: late sound is trimmed as it comes", 500, 500, 1000},
		{"behind by the lead and the margin", 1000 + 990 * ticksPerFrame, -9900, 1000},
		{"behind by more: back to the lead", 1000 + 2000 * ticksPerFrame, -20000, 1000 + 1910 * ticksPerFrame},
		{"another timeline", 900000, 20100 - 900000, 20100},
	};
	for (const auto& [what, picture, ahead, clock] : rows)
	{
		EXPECT_EQ(q.follow(picture), ahead) << what;
		EXPECT_EQ(q.clock(), clock) << what;
	}
	EXPECT_EQ(q.queuedFrames(), size_t(5000 - 100 - 1910));
	q.setPaused(true);
	EXPECT_EQ(q.follow(20100 + 5000 * ticksPerFrame), 0) << "a paused picture says nothing";
	EXPECT_EQ(q.clock(), 20100);
}

TEST(AudioQueueTest, VolumeAndMute)
{
	const int16_t full = 10000;
	// mute, volume (31: half the bar), what is heard
	const std::tuple<int, int, const char*> rows[] = {
		{0, 0, "10000x10"}, {1, 0, "0x10"}, {0, 31, "2579x10"}, {0, 63, "0x10"}};
	for (const auto& [mute, volume, heard] : rows)
	{
		AudioQueue q(tableRate, mono, capacityMs, noLead);
		q.setVolume(mute, volume);
		push(q, full, 10, 0);
		EXPECT_EQ(pull(q, 10), heard) << mute << " " << volume;
	}
}

// The kit's film through the demultiplexer and decoders: every MP2 frame's stamp carries
// on from the one before.
TEST(AudioPathTest, AFilmsSoundQueuesInPtsOrder)
{
	std::string error;
	const std::string clip = MediaMaker::path(MediaMaker::Clip(), error);
	ASSERT_FALSE(clip.empty()) << error;
	const std::string bytes = TempDir::slurp(clip);
	ASSERT_FALSE(bytes.empty());

	struct Sound : TsDemux::Listener
	{
		PesDecoder decoders;
		std::vector<int64_t> stamps;
		std::vector<int> lengths;
		int rate = 0;
		void onPcr(int, int64_t) override {}
		void onPes(const TsDemux::Pes& pes) override
		{
			if (pes.pid == clipAudioPid)
				decoders.audio(pes, [this](const AVFrame& f) { heard(f); });
		}
		void heard(const AVFrame& f)
		{
			stamps.push_back(f.pts == AV_NOPTS_VALUE ? AudioQueue::noPts : f.pts);
			lengths.push_back(f.nb_samples);
			rate = f.sample_rate;
		}
	} sound;
	TsDemux demux;
	demux.select(clipVideoPid, clipAudioPid);
	demux.feed(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), sound);
	demux.finish(sound);
	sound.decoders.drain(nullptr, [&](const AVFrame& f) { sound.heard(f); });

	ASSERT_GT(sound.stamps.size(), 50u);
	ASSERT_NE(sound.stamps.front(), AudioQueue::noPts);
	int stamped = 0;
	int64_t expected = sound.stamps.front();
	for (size_t i = 0; i < sound.stamps.size(); i++)
	{
		if (sound.stamps[i] != AudioQueue::noPts)
		{
			stamped++;
			EXPECT_EQ(sound.stamps[i], expected) << "frame " << i;
		}
		expected += int64_t(sound.lengths[i]) * AudioQueue::ptsPerSecond / sound.rate;
	}
	EXPECT_GT(stamped, 5) << "a stamp for every PES, not only the first";
}

// The loudspeaker of a playing film, on SDL's dummy driver: the clock runs, a paused
// decoder stops it, a flush forgets it.
TEST(AudioPathTest, PausingTheDecoderStopsTheAudioClock)
{
	signal(SIGPIPE, SIG_IGN);
	setenv("SDL_AUDIODRIVER", "dummy", 1);
	std::string error;
	MediaMaker::Clip film;
	film.seconds = 6;
	const std::string clip = MediaMaker::path(film, error);
	ASSERT_FALSE(clip.empty()) << error;
	const std::string bytes = TempDir::slurp(clip);
	TempDir dir;
	ASSERT_TRUE(dir.ok());

	auto out = std::make_shared<AudioOutput>();
	ASSERT_TRUE(out->open(error)) << error;
	AudioQueue& q = *out->queue();
	VirtualDecoder& decoder = VirtualDecoder::instance();
	decoder.setAudioOutput(out);
	Decoder::parms = decoderParameters();
	Decoder::parms.vpid = clipVideoPid;
	Decoder::parms.apid = clipAudioPid;
	Decoder::Set();
	ASSERT_TRUE(decoder.start(dir / "pvr", VirtualDecoder::Pacing::Realtime));
	std::thread writer([&] {
		const UniqueFd fifo(open((dir / "pvr").c_str(), O_WRONLY | O_CLOEXEC));
		if (fifo)
			fdio::writeAll(fifo.get(), bytes.data(), bytes.size());
	});

	int64_t first = AudioQueue::noPts;
	EXPECT_TRUE(waitUntil([&] { return (first = q.clock()) != AudioQueue::noPts; }));
	const int64_t quarterSecond = AudioQueue::ptsPerSecond / 4;
	EXPECT_TRUE(waitUntil([&] { return q.clock() > first + quarterSecond; })) << "the clock runs";

	Decoder::Pause(1);
	const int64_t held = q.clock();
	std::this_thread::sleep_for(pausedFor);
	EXPECT_EQ(q.clock(), held);
	Decoder::Resume(true);
	EXPECT_TRUE(waitUntil([&] { return q.clock() > held; })) << "and runs again";

	Decoder::flushBuffer();
	EXPECT_EQ(q.queuedFrames(), 0u);

	decoder.setAudioOutput(nullptr);
	decoder.stop();
	writer.join();
	out->close();
}
