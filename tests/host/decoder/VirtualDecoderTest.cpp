#include "VirtualDecoder.h"
#include "DecoderTestSupport.h"
#include "Journal.h"
#include "TsBuilder.h"

#include <gtest/gtest.h>

#include <mutex>
#include <sys/stat.h>

namespace
{
using Stats = VirtualDecoder::Stats;
using std::chrono::milliseconds;

const int videoPid = 0x100, audioPid = 0x101, pmtPid = 0x1000;
const int pipeCapacity = 1024 * 1024;

std::vector<uint8_t> pattern(size_t n, uint8_t seed)
{
	std::vector<uint8_t> v(n);
	for (size_t i = 0; i < n; ++i)
		v[i] = uint8_t(seed + i * 13);
	return v;
}

// PES of undecodable bytes on the video and audio PIDs plus sections on the PMT PID.
struct Synthetic
{
	TsBuilder ts;
	int videoPackets = 0, audioPackets = 0, pmtPackets = 0, videoPes = 0, audioPes = 0;

	explicit Synthetic(int rounds)
	{
		for (int i = 0; i < rounds; ++i)
		{
			ts.section(pmtPid, 2);
			pmtPackets++;
			videoPackets += ts.pes(videoPid, 0xE0, pattern(5000 + i % 7 * 100, uint8_t(i)), -1, -1, false);
			videoPes++;
			audioPackets += ts.pes(audioPid, 0xC0, pattern(400, uint8_t(i)), -1, -1, true);
			audioPes++;
		}
	}
};

// Every frame handed to the sink, counted and checked for a plausible picture.
struct SinkProbe
{
	std::mutex lock;
	int frames = 0;
	int width = 0, height = 0;
	uint32_t firstPixel = 0;

	VirtualDecoder::FrameSink sink()
	{
		return [this](const VirtualDecoder::Frame& f) {
			std::lock_guard<std::mutex> g(lock);
			frames++;
			width = f.width;
			height = f.height;
			firstPixel = f.argb[0];
		};
	}
	int count()
	{
		std::lock_guard<std::mutex> g(lock);
		return frames;
	}
};

class VirtualDecoderTest : public ::testing::Test
{
protected:
	TempDir dir;
	std::string fifo = dir / "pvr";
	VirtualDecoder& decoder = VirtualDecoder::instance();

	void SetUp() override
	{
		decoder.setFrameSink(nullptr);
		decoder.setPids(videoPid, audioPid, 0);
	}
	void TearDown() override
	{
		decoder.stop();
		decoder.setFrameSink(nullptr);
		Journal::instance().close();
	}
	bool waitForBytes(long long n)
	{
		return waitFor([&] { return decoder.stats().bytes >= n; });
	}
};
} // namespace

TEST_F(VirtualDecoderTest, CountsASyntheticStreamExactlyAcrossWriters)
{
	Synthetic s(300);
	ASSERT_TRUE(decoder.start(fifo, VirtualDecoder::Pacing::Fast));
	struct stat st;
	ASSERT_EQ(stat(fifo.c_str(), &st), 0);
	EXPECT_TRUE(S_ISFIFO(st.st_mode));

	// Two writers one after the other, the first one closing in the middle of a packet.
	size_t cut = s.ts.out.size() / 2 + 77;
	std::vector<uint8_t> first(s.ts.out.begin(), s.ts.out.begin() + long(cut));
	std::vector<uint8_t> second(s.ts.out.begin() + long(cut), s.ts.out.end());
	FifoWriter writer(fifo, {first, second});
	writer.join();
	ASSERT_TRUE(writer.ok());
	ASSERT_TRUE(waitForBytes(long(s.ts.out.size())));
	decoder.stop();

	Stats st2 = decoder.stats();
	EXPECT_EQ(st2.bytes, long(s.ts.out.size()));
	EXPECT_EQ(st2.packets[videoPid], s.videoPackets);
	EXPECT_EQ(st2.packets[audioPid], s.audioPackets);
	EXPECT_EQ(st2.packets[pmtPid], s.pmtPackets);
	EXPECT_EQ(st2.pes[videoPid], s.videoPes);
	EXPECT_EQ(st2.pes[audioPid], s.audioPes);
	EXPECT_EQ(st2.pes.count(pmtPid), 0u);
	EXPECT_EQ(st2.ccErrors, 0);
	EXPECT_EQ(st2.videoFrames, 0);
	EXPECT_EQ(st2.audioFrames, 0);
}

TEST_F(VirtualDecoderTest, CountsInjectedContinuityErrors)
{
	Synthetic s(50);
	// Drop three video packets that are not PES starts, and repeat one audio packet
	// (a legal duplicate).
	std::vector<uint8_t> out;
	const size_t n = s.ts.out.size() / TsBuilder::packetSize;
	int dropped = 0;
	bool duplicated = false;
	for (size_t i = 0; i < n; ++i)
	{
		const uint8_t* p = s.ts.out.data() + i * TsBuilder::packetSize;
		int pid = ((p[1] & 0x1F) << 8) | p[2];
		bool unitStart = p[1] & 0x40;
		if (pid == videoPid && !unitStart && i % 40 == 5 && dropped < 3)
		{
			dropped++;
			continue;
		}
		out.insert(out.end(), p, p + TsBuilder::packetSize);
		if (pid == audioPid && !duplicated)
		{
			out.insert(out.end(), p, p + TsBuilder::packetSize);
			duplicated = true;
		}
	}
	ASSERT_EQ(dropped, 3);
	ASSERT_TRUE(decoder.start(fifo, VirtualDecoder::Pacing::Fast));
	FifoWriter writer(fifo, {out});
	ASSERT_TRUE(waitForBytes(long(out.size())));
	decoder.stop();
	EXPECT_EQ(decoder.stats().ccErrors, 3);
	EXPECT_EQ(decoder.stats().packets[audioPid], s.audioPackets + 1);
}

TEST_F(VirtualDecoderTest, DecodesARealStreamOnItsPidsOnly)
{
	const std::string& media = TestMedia::mpeg2Mp2();
	ASSERT_FALSE(media.empty()) << "ffmpeg could not make the test stream";
	std::vector<uint8_t> ts = readFile(media);

	struct Case
	{
		const char* name;
		int vpid, apid;
		bool decodes;
	};
	for (const Case& c : {Case{"right PIDs", videoPid, audioPid, true}, Case{"wrong PIDs", 0x200, 0x201, false},
			 Case{"PIDs swapped", audioPid, videoPid, false}})
	{
		SCOPED_TRACE(c.name);
		std::string journal = dir / (std::string(c.name) + ".journal");
		ASSERT_TRUE(Journal::instance().open(journal));
		SinkProbe probe;
		decoder.setFrameSink(probe.sink());
		decoder.setPids(c.vpid, c.apid, 0);
		ASSERT_TRUE(decoder.start(fifo, VirtualDecoder::Pacing::Fast));
		FifoWriter writer(fifo, {ts});
		ASSERT_TRUE(waitForBytes(long(ts.size())));
		decoder.stop();
		Journal::instance().close();

		Stats st = decoder.stats();
		EXPECT_EQ(st.bytes, long(ts.size()));
		EXPECT_EQ(st.ccErrors, 0);
		EXPECT_GT(st.packets[videoPid], 0);
		EXPECT_GT(st.packets[audioPid], 0);
		EXPECT_EQ(st.pes[videoPid], 50) << "one PES per picture";
		if (c.decodes)
		{
			EXPECT_EQ(st.videoFrames, 50) << "2 s at 25 pictures a second, the last ones drained at the stop";
			EXPECT_GE(st.audioFrames, 80) << "2 s of 1152-sample frames at 48 kHz";
			EXPECT_EQ(st.decodeErrors, 0);
			EXPECT_EQ(probe.count(), st.videoFrames);
			EXPECT_EQ(probe.width, 720);
			EXPECT_EQ(probe.height, 576);
			EXPECT_EQ(probe.firstPixel >> 24, 0xFFu) << "pictures are opaque";
		}
		else
		{
			EXPECT_EQ(st.videoFrames, 0);
			EXPECT_EQ(st.audioFrames, 0);
			EXPECT_EQ(probe.count(), 0);
		}

		// The final journal line tells the same, with the PIDs as decimal string keys.
		std::vector<nlohmann::json> lines = journalLines(journal);
		ASSERT_FALSE(lines.empty());
		const nlohmann::json& last = lines.back();
		EXPECT_EQ(last["ev"], "pvr");
		EXPECT_EQ(last["final"], true);
		EXPECT_EQ(last["bytes"], st.bytes);
		EXPECT_EQ(last["packets"]["256"], st.packets[videoPid]);
		EXPECT_EQ(last["pes"]["257"], st.pes[audioPid]);
		EXPECT_EQ(last["video_frames"], st.videoFrames);
		EXPECT_EQ(last["audio_frames"], st.audioFrames);
		EXPECT_EQ(last["cc_errors"], 0);
		EXPECT_EQ(last["decode_errors"], st.decodeErrors);
	}
}

TEST_F(VirtualDecoderTest, DecodesEachAudioKindByItsType)
{
	struct Case
	{
		const char* name;
		const std::string& media;
		int vpid, apid, audioType;
		long long minAudioFrames; // 1 s of audio
		long long videoFrames;
	};
	const Case cases[] = {
		{"MP3 as MPEG audio", TestMedia::mpeg2Mp3(), videoPid, audioPid, 0, 38, 25},
		{"AC-3 in private stream 1", TestMedia::mpeg2Ac3(), videoPid, audioPid, 1, 31, 25},
		// Audio only: the plugin keeps the old video PID, here the audio's own PID.
		{"MP2 alone on the old video PID", TestMedia::mp2Only(), videoPid, videoPid, 0, 41, 0},
	};
	for (const Case& c : cases)
	{
		SCOPED_TRACE(c.name);
		ASSERT_FALSE(c.media.empty());
		std::vector<uint8_t> ts = readFile(c.media);
		decoder.setPids(c.vpid, c.apid, c.audioType);
		ASSERT_TRUE(decoder.start(fifo, VirtualDecoder::Pacing::Fast));
		FifoWriter writer(fifo, {ts});
		ASSERT_TRUE(waitForBytes(long(ts.size())));
		decoder.stop();
		EXPECT_GE(decoder.stats().audioFrames, c.minAudioFrames);
		EXPECT_EQ(decoder.stats().videoFrames, c.videoFrames);
		EXPECT_EQ(decoder.stats().decodeErrors, 0);
	}
}

TEST_F(VirtualDecoderTest, StripsTheDvdSubstreamHeaderForAudioType3)
{
	const std::string& es = TestMedia::ac3Elementary();
	ASSERT_FALSE(es.empty());
	std::vector<uint8_t> ac3 = readFile(es);
	// Private stream 1 PES as a DVD carries them: substream id, frame count and
	// first-access-unit pointer ahead of the AC-3 bytes, which run across PES borders.
	TsBuilder b;
	const size_t perPes = 1500;
	for (size_t pos = 0; pos < ac3.size(); pos += perPes)
	{
		const size_t end = std::min(pos + perPes, ac3.size());
		std::vector<uint8_t> payload;
		payload.reserve(4 + end - pos);
		for (uint8_t header : {0x80, 0x01, 0x00, 0x01})
			payload.push_back(header);
		payload.insert(payload.end(), ac3.begin() + long(pos), ac3.begin() + long(end));
		b.pes(audioPid, 0xBD, payload, -1, -1, true);
	}
	decoder.setPids(-1, audioPid, 3);
	ASSERT_TRUE(decoder.start(fifo, VirtualDecoder::Pacing::Fast));
	FifoWriter writer(fifo, {b.out});
	ASSERT_TRUE(waitForBytes(long(b.out.size())));
	decoder.stop();
	EXPECT_GE(decoder.stats().audioFrames, 30);
	EXPECT_EQ(decoder.stats().decodeErrors, 0);
}

TEST_F(VirtualDecoderTest, PauseStopsReadingAndResumeCarriesOn)
{
	Synthetic s(900); // several times the pipe's capacity
	const long long head = 300 * 1000 / TsBuilder::packetSize * TsBuilder::packetSize;
	ASSERT_GT(long(s.ts.out.size()), head + 3 * pipeCapacity);
	std::vector<uint8_t> first(s.ts.out.begin(), s.ts.out.begin() + head);
	std::vector<uint8_t> rest(s.ts.out.begin() + head, s.ts.out.end());

	ASSERT_TRUE(decoder.start(fifo, VirtualDecoder::Pacing::Fast));
	{
		FifoWriter writer(fifo, {first});
		ASSERT_TRUE(waitForBytes(head));
	}
	decoder.pause();
	const long long atPause = decoder.stats().bytes;
	FifoWriter writer(fifo, {rest}, 16 * 1024);
	// The writer fills the pipe and then blocks, as on a paused box.
	ASSERT_TRUE(waitFor([&] { return writer.written() >= pipeCapacity / 2; }));
	std::this_thread::sleep_for(milliseconds(300));
	EXPECT_EQ(decoder.stats().bytes, atPause);
	EXPECT_FALSE(writer.done());
	EXPECT_LE(writer.written(), pipeCapacity + 16 * 1024);

	decoder.resume();
	writer.join();
	ASSERT_TRUE(waitForBytes(long(s.ts.out.size())));
	decoder.stop();
	Stats st = decoder.stats();
	EXPECT_EQ(st.bytes, long(s.ts.out.size()));
	EXPECT_EQ(st.packets[videoPid], s.videoPackets);
	EXPECT_EQ(st.ccErrors, 0);
}

TEST_F(VirtualDecoderTest, FlushThrowsAwayBufferedDataAndEndsAPause)
{
	ASSERT_TRUE(decoder.start(fifo, VirtualDecoder::Pacing::Fast));
	decoder.pause();
	Synthetic old(40);
	{
		FifoWriter writer(fifo, {old.ts.out});
	}
	// A stream stopped while paused leaves its tail in the buffer; the next start
	// flushes and must then play the new stream alone.
	decoder.flush();
	EXPECT_EQ(decoder.stats().bytes, long(old.ts.out.size()));
	Synthetic fresh(20);
	FifoWriter writer(fifo, {fresh.ts.out});
	ASSERT_TRUE(waitForBytes(long(old.ts.out.size() + fresh.ts.out.size())));
	decoder.stop();
	Stats st = decoder.stats();
	EXPECT_EQ(st.packets[videoPid], fresh.videoPackets);
	EXPECT_EQ(st.pes[audioPid], fresh.audioPes);
	EXPECT_EQ(st.ccErrors, 0);
}

TEST_F(VirtualDecoderTest, RealtimePacingHoldsTheStreamNearItsOwnTime)
{
	const std::string& media = TestMedia::mpeg2Mp2();
	ASSERT_FALSE(media.empty());
	// Without a PCR the video time stamps pace the stream: 40 pictures, 1.6 s.
	TsBuilder noPcr;
	for (int i = 0; i < 40; ++i)
		noPcr.pes(videoPid, 0xE0, pattern(5000, uint8_t(i)), 3600 * i + 3600, 3600 * i, false);
	struct Case
	{
		const char* name;
		std::vector<uint8_t> ts;
		milliseconds atLeast;
	};
	const Case cases[] = {
		{"2 s paced by the PCR", readFile(media), milliseconds(1200)},
		{"1.6 s paced by DTS", noPcr.out, milliseconds(1000)},
	};
	for (const Case& c : cases)
	{
		SCOPED_TRACE(c.name);
		std::string journal = dir / "journal";
		ASSERT_TRUE(Journal::instance().open(journal));
		ASSERT_TRUE(decoder.start(fifo, VirtualDecoder::Pacing::Realtime));
		auto begin = std::chrono::steady_clock::now();
		FifoWriter writer(fifo, {c.ts});
		ASSERT_TRUE(waitForBytes(long(c.ts.size())));
		auto took = std::chrono::steady_clock::now() - begin;
		decoder.stop();
		Journal::instance().close();
		// Read at full speed it would take a few milliseconds. The exact figure is the
		// benchmark's business.
		EXPECT_GT(took, c.atLeast);

		int periodic = 0, final = 0;
		for (const nlohmann::json& line : journalLines(journal))
			if (line["ev"] == "pvr")
				(line["final"] == true ? final : periodic)++;
		EXPECT_GE(periodic, 1) << "a line at least every second while data flows";
		EXPECT_EQ(final, 1);
	}
}

TEST_F(VirtualDecoderTest, RefusesWhatItCannotUse)
{
	ASSERT_TRUE(decoder.start(fifo, VirtualDecoder::Pacing::Fast));
	EXPECT_FALSE(decoder.start(fifo, VirtualDecoder::Pacing::Fast)) << "already running";
	decoder.stop();
	std::string plain = dir / "plain";
	FILE* f = fopen(plain.c_str(), "w");
	ASSERT_TRUE(f);
	fclose(f);
	EXPECT_FALSE(decoder.start(plain, VirtualDecoder::Pacing::Fast));
	EXPECT_FALSE(decoder.start(dir / "missing/pvr", VirtualDecoder::Pacing::Fast));
}
