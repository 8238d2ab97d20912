#include "TsDemux.h"
#include "TsBuilder.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
struct Recorder : TsDemux::Listener
{
	struct Seen
	{
		int pid;
		int streamId;
		int64_t pts, dts;
		std::vector<uint8_t> es;
	};
	std::vector<Seen> pes;
	std::vector<int64_t> pcrs;
	void onPcr(int, int64_t pcr) override { pcrs.push_back(pcr); }
	void onPes(const TsDemux::Pes& p) override
	{
		pes.push_back({p.pid, p.streamId, p.pts, p.dts, std::vector<uint8_t>(p.payload, p.payload + p.size)});
	}
};

// Payload bytes without sync bytes: a regular pattern with sync bytes in it can fake
// a confirmed packet start inside junk, which real (compressed) data does only rarely.
std::vector<uint8_t> bytes(size_t n, uint8_t seed)
{
	std::vector<uint8_t> v(n);
	for (size_t i = 0; i < n; ++i)
	{
		v[i] = uint8_t(seed + i * 7);
		if (v[i] == TsDemux::syncByte)
			v[i]++;
	}
	return v;
}

const int videoPid = 0x100, audioPid = 0x101, patPid = 0, otherPid = 0x222;

// A stream of known make-up: video PES of several sizes (unbounded), bounded audio PES,
// PSI sections and PES of a PID nobody selected.
TsBuilder knownStream(int& videoPackets, int& audioPackets, int& otherPackets)
{
	TsBuilder b;
	videoPackets = audioPackets = otherPackets = 0;
	for (int i = 0; i < 10; ++i)
	{
		b.section(patPid, 0);
		videoPackets += b.pes(videoPid, 0xE0, bytes(1000 + 377 * i, uint8_t(i)), 3600 * i, 3600 * i - 1800, false,
			27000000LL + 1080000LL * i);
		audioPackets += b.pes(audioPid, 0xC0, bytes(300 + i, uint8_t(i + 50)), 3600 * i, -1, true);
		otherPackets += b.pes(otherPid, 0xE1, bytes(500, 9), -1, -1, false);
	}
	// Closes the last unbounded video PES.
	videoPackets += b.pes(videoPid, 0xE0, bytes(10, 1), -1, -1, false);
	return b;
}
} // namespace

TEST(TsDemuxTest, CountsAndReassemblesAKnownStreamWhateverTheReadSizes)
{
	int videoPackets, audioPackets, otherPackets;
	TsBuilder b = knownStream(videoPackets, audioPackets, otherPackets);
	for (size_t chunk : {size_t(1), size_t(100), size_t(188), size_t(1000), b.out.size()})
	{
		SCOPED_TRACE("chunk " + std::to_string(chunk));
		TsDemux demux;
		Recorder rec;
		demux.select(videoPid, audioPid);
		for (size_t pos = 0; pos < b.out.size(); pos += chunk)
			demux.feed(b.out.data() + pos, std::min(chunk, b.out.size() - pos), rec);
		const TsDemux::Counts& c = demux.getCounts();
		EXPECT_EQ(c.packets.at(videoPid), videoPackets);
		EXPECT_EQ(c.packets.at(audioPid), audioPackets);
		EXPECT_EQ(c.packets.at(otherPid), otherPackets);
		EXPECT_EQ(c.packets.at(patPid), 10);
		EXPECT_EQ(c.pes.at(videoPid), 11);
		EXPECT_EQ(c.pes.at(audioPid), 10);
		EXPECT_EQ(c.pes.at(otherPid), 10);
		EXPECT_EQ(c.pes.count(patPid), 0u) << "a section start is no PES start";
		EXPECT_EQ(c.ccErrors, 0);
		EXPECT_EQ(c.skippedBytes, 0);

		// 10 video PES closed by their successors, 10 audio PES complete on their own.
		ASSERT_EQ(rec.pes.size(), 20u);
		int video = 0, audio = 0;
		for (const auto& p : rec.pes)
		{
			if (p.pid == videoPid)
			{
				EXPECT_EQ(p.streamId, 0xE0);
				EXPECT_EQ(p.es, bytes(1000 + 377 * video, uint8_t(video)));
				EXPECT_EQ(p.pts, 3600 * video);
				EXPECT_EQ(p.dts, video == 0 ? -1 : 3600 * video - 1800); // a negative DTS is none
				video++;
			}
			else
			{
				ASSERT_EQ(p.pid, audioPid);
				EXPECT_EQ(p.es, bytes(300 + audio, uint8_t(audio + 50)));
				EXPECT_EQ(p.dts, -1);
				audio++;
			}
		}
		ASSERT_EQ(rec.pcrs.size(), 10u);
		EXPECT_EQ(rec.pcrs[3], 27000000LL + 3 * 1080000LL);
	}
}

TEST(TsDemuxTest, FindsPacketsAgainAfterGarbage)
{
	int v, a, o;
	TsBuilder b = knownStream(v, a, o);
	const size_t packets = b.out.size() / TsBuilder::packetSize;
	const std::vector<std::vector<uint8_t>> junks = {
		{0x47, 1, 2, 0x47, 0x47, 9, 0, 0x47}, // looks like a packet start
		{1, 2, 0x47, 3},                      // a real packet is followed by junk
		{0x47}, std::vector<uint8_t>(500, 0), // longer than a packet
	};
	for (const auto& junk : junks)
	{
		SCOPED_TRACE("junk of " + std::to_string(junk.size()) + " bytes");
		// Junk between packets at three places. (A packet squeezed between two pieces of
		// junk cannot be confirmed by its neighbours and would be lost.)
		std::vector<uint8_t> damaged;
		for (size_t i = 0; i < packets; ++i)
		{
			if (i == 5 || i == 40 || i == 80)
				damaged.insert(damaged.end(), junk.begin(), junk.end());
			damaged.insert(damaged.end(), b.out.begin() + long(i * TsBuilder::packetSize),
				b.out.begin() + long((i + 1) * TsBuilder::packetSize));
		}
		TsDemux demux;
		Recorder rec;
		demux.select(videoPid, audioPid);
		demux.feed(damaged.data(), damaged.size(), rec);
		const TsDemux::Counts& c = demux.getCounts();
		EXPECT_EQ(c.skippedBytes, 3 * long(junk.size()));
		EXPECT_EQ(c.packets.at(videoPid), v);
		EXPECT_EQ(c.packets.at(audioPid), a);
		EXPECT_EQ(c.ccErrors, 0);
		EXPECT_EQ(rec.pes.size(), 20u);
	}
}

TEST(TsDemuxTest, ContinuityCounterRules)
{
	struct Step
	{
		int cc; // -1: the next one
		bool payload;
		bool discontinuity;
	};
	struct Case
	{
		const char* name;
		std::vector<Step> steps;
		long long errors;
		int delivered; // payload packets handed on
	};
	const std::vector<Case> cases = {
		{"in order across the wrap", {{14, true, false}, {15, true, false}, {0, true, false}, {1, true, false}}, 0, 4},
		{"first packet sets the base", {{9, true, false}, {10, true, false}}, 0, 2},
		{"one lost packet", {{0, true, false}, {1, true, false}, {3, true, false}, {4, true, false}}, 1, 4},
		{"one repetition is allowed and skipped",
			{{0, true, false}, {1, true, false}, {1, true, false}, {2, true, false}}, 0, 3},
		{"a third copy is an error", {{0, true, false}, {1, true, false}, {1, true, false}, {1, true, false}}, 1, 3},
		{"adaptation-only packets keep the counter", {{0, true, false}, {0, false, false}, {1, true, false}}, 0, 2},
		{"adaptation-only packets are not checked", {{0, true, false}, {7, false, false}, {1, true, false}}, 0, 2},
		{"discontinuity flag sets a new base", {{0, true, false}, {9, true, true}, {10, true, false}}, 0, 3},
		{"going back is an error", {{5, true, false}, {6, true, false}, {2, true, false}, {3, true, false}}, 1, 4},
	};
	for (const Case& c : cases)
	{
		SCOPED_TRACE(c.name);
		TsBuilder b;
		int marker = 0;
		for (const Step& s : c.steps)
		{
			TsBuilder::Options o;
			o.forceCc = s.cc;
			o.payload = s.payload;
			o.discontinuity = s.discontinuity;
			// Each payload packet is a whole bounded PES, so deliveries show which were kept.
			std::vector<uint8_t> pes = TsBuilder::pesPacket(0xC0, {uint8_t(marker++)}, -1, -1, true);
			o.unitStart = s.payload;
			b.packet(audioPid, pes, o);
		}
		TsDemux demux;
		Recorder rec;
		demux.select(videoPid, audioPid);
		demux.feed(b.out.data(), b.out.size(), rec);
		EXPECT_EQ(demux.getCounts().ccErrors, c.errors);
		EXPECT_EQ(int(rec.pes.size()), c.delivered);
	}
}

TEST(TsDemuxTest, ResetForgetsCountersAndPartialPes)
{
	TsBuilder b;
	b.packet(audioPid, TsBuilder::pesPacket(0xC0, bytes(400, 1), -1, -1, true),
		TsBuilder::Options{true, -1, false, 3, true, false});
	TsDemux demux;
	Recorder rec;
	demux.select(videoPid, audioPid);
	demux.feed(b.out.data(), b.out.size(), rec);
	EXPECT_TRUE(rec.pes.empty()) << "the PES needs more packets";
	demux.reset();

	// After the reset the counter 9 is a new base and the continuation of the old PES
	// has nothing to attach to.
	TsBuilder c;
	c.packet(audioPid, bytes(200, 2), TsBuilder::Options{false, -1, false, 9, true, false});
	c.pes(audioPid, 0xC0, bytes(50, 3), -1, -1, true);
	demux.feed(c.out.data(), c.out.size(), rec);
	EXPECT_EQ(demux.getCounts().ccErrors, 0);
	ASSERT_EQ(rec.pes.size(), 1u);
	EXPECT_EQ(rec.pes[0].es, bytes(50, 3));
	EXPECT_EQ(demux.getCounts().packets.at(audioPid), 3) << "counts survive a reset";
}

TEST(TsDemuxTest, DropsDamagedPackets)
{
	TsBuilder b;
	// A transport error packet, a null packet and a packet with an impossible
	// adaptation length are counted but carry nothing.
	b.packet(audioPid, TsBuilder::pesPacket(0xC0, bytes(20, 1), -1, -1, true),
		TsBuilder::Options{true, -1, false, 0, true, true});
	b.packet(TsDemux::nullPid, bytes(184, 0), TsBuilder::Options{});
	size_t bad = b.out.size();
	b.packet(audioPid, TsBuilder::pesPacket(0xC0, bytes(20, 2), -1, -1, true),
		TsBuilder::Options{true, -1, false, 1, true, false});
	b.out[bad + 4] = 200; // adaptation field longer than the packet
	b.out[bad + 3] |= 0x20;
	b.pes(audioPid, 0xC0, bytes(20, 3), -1, -1, true);
	TsDemux demux;
	Recorder rec;
	demux.select(videoPid, audioPid);
	demux.feed(b.out.data(), b.out.size(), rec);
	ASSERT_EQ(rec.pes.size(), 1u);
	EXPECT_EQ(rec.pes[0].es, bytes(20, 3));
	EXPECT_EQ(demux.getCounts().packets.at(audioPid), 3);
	EXPECT_EQ(demux.getCounts().packets.at(TsDemux::nullPid), 1);
}

TEST(TsDemuxTest, ParsesPesHeaders)
{
	struct Case
	{
		const char* name;
		std::vector<uint8_t> data;
		bool ok;
		int64_t pts, dts;
		size_t payload;
	};
	std::vector<uint8_t> full = TsBuilder::pesPacket(0xE0, bytes(10, 0), 0x1FFFFFFFFLL, 12345, false);
	std::vector<uint8_t> ptsOnly = TsBuilder::pesPacket(0xC0, bytes(10, 0), 90000, -1, true);
	std::vector<uint8_t> padding = {0, 0, 1, 0xBE, 0, 3, 0xFF, 0xFF, 0xFF};
	std::vector<uint8_t> shortHeader(full.begin(), full.begin() + 12);
	std::vector<uint8_t> noStart = full;
	noStart[2] = 2;
	std::vector<uint8_t> mpeg1 = ptsOnly;
	mpeg1[6] = 0x0F; // not the MPEG-2 '10' marker
	const std::vector<Case> cases = {
		{"PTS and DTS, 33 bits", full, true, 0x1FFFFFFFFLL, 12345, 10},
		{"PTS only", ptsOnly, true, 90000, -1, 10},
		{"no optional header", padding, true, -1, -1, 3},
		{"header longer than the data", shortHeader, false, 0, 0, 0},
		{"no start code", noStart, false, 0, 0, 0},
		{"MPEG-1 header", mpeg1, false, 0, 0, 0},
	};
	for (const Case& c : cases)
	{
		SCOPED_TRACE(c.name);
		TsDemux::Pes p;
		ASSERT_EQ(TsDemux::parsePes(c.data.data(), c.data.size(), p), c.ok);
		if (!c.ok)
			continue;
		EXPECT_EQ(p.pts, c.pts);
		EXPECT_EQ(p.dts, c.dts);
		EXPECT_EQ(p.size, c.payload);
	}
}
