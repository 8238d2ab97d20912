#include <gtest/gtest.h>

#include <string>

#include "Ts.h"
#include "TsDemux.h"

namespace
{
const int videoPid = 0x100, audioPid = 0x101, patPid = 0, otherPid = 0x222;
const int videoId = ts::VIDEO_STREAM_ID, audioId = ts::AUDIO_STREAM_ID;
const int patTable = 0;
const int rounds = 10;
const int64_t pcrStart = 27000000, pcrStep = 1080000, ptsStep = 3600;

struct Recorder : TsDemux::Listener
{
	struct Seen
	{
		int pid, streamId;
		int64_t pts, dts;
		std::string es;
	};
	std::vector<Seen> pes;
	std::vector<int64_t> pcrs;
	void onPcr(int, int64_t pcr) override { pcrs.push_back(pcr); }
	void onPes(const TsDemux::Pes& p) override
	{
		pes.push_back({p.pid, p.streamId, p.pts, p.dts, std::string(p.payload, p.payload + p.size)});
	}
};

// n bytes without a sync byte, so that a test knows where every packet starts.
std::string bytes(size_t n, int seed)
{
	std::string v(n, '\0');
	for (size_t i = 0; i < n; ++i)
	{
		v[i] = char(seed + int(i) * 7);
		if (uint8_t(v[i]) == TsDemux::syncByte)
			v[i]++;
	}
	return v;
}

std::string bounded(int streamId, const std::string& es, long long pts = ts::NO_TIME)
{
	return ts::pes(streamId, es, pts, ts::NO_TIME, true);
}

const uint8_t* raw(const std::string& s)
{
	return reinterpret_cast<const uint8_t*>(s.data());
}

size_t videoSize(int i)
{
	return 1000 + 377 * size_t(i);
}

// Unbounded video PES with PCRs, bounded audio PES, sections and PES of an unselected
// PID; the last video PES is closed by one more unit start.
struct KnownStream
{
	ts::Builder ts;
	int videoPackets = 0, audioPackets = 0, otherPackets = 0;

	KnownStream()
	{
		for (int i = 0; i < rounds; ++i)
		{
			ts.unit(patPid, ts::section(patTable));
			const long long dts = i == 0 ? ts::NO_TIME : ptsStep * i - ptsStep / 2;
			videoPackets +=
				ts.unit(videoPid, ts::pes(videoId, bytes(videoSize(i), i), ptsStep * i, dts), pcrStart + pcrStep * i);
			audioPackets += ts.unit(audioPid, bounded(audioId, bytes(300 + size_t(i), i + 50), ptsStep * i));
			otherPackets += ts.unit(otherPid, ts::pes(videoId + 1, bytes(500, 9)));
		}
		videoPackets += ts.unit(videoPid, ts::pes(videoId, bytes(10, 1)));
	}
};

TsDemux::Counts feedAll(const std::string& stream, Recorder& rec, size_t chunk = 0)
{
	TsDemux demux;
	demux.select(videoPid, audioPid);
	if (chunk == 0)
		chunk = stream.size();
	for (size_t at = 0; at < stream.size(); at += chunk)
		demux.feed(raw(stream) + at, std::min(chunk, stream.size() - at), rec);
	return demux.getCounts();
}
} // namespace

TEST(TsDemux, CountsAndReassemblesAKnownStreamWhateverTheReadSizes)
{
	const KnownStream s;
	for (size_t chunk : {size_t(1), size_t(100), ts::PACKET_SIZE, size_t(1000), s.ts.bytes.size()})
	{
		SCOPED_TRACE("chunk " + std::to_string(chunk));
		Recorder rec;
		const TsDemux::Counts c = feedAll(s.ts.bytes, rec, chunk);
		EXPECT_EQ(c.packets.at(videoPid), s.videoPackets);
		EXPECT_EQ(c.packets.at(audioPid), s.audioPackets);
		EXPECT_EQ(c.packets.at(otherPid), s.otherPackets);
		EXPECT_EQ(c.packets.at(patPid), rounds);
		EXPECT_EQ(c.pes.at(videoPid), rounds + 1);
		EXPECT_EQ(c.pes.at(audioPid), rounds);
		EXPECT_EQ(c.pes.at(otherPid), rounds) << "counted on every PID, selected or not";
		EXPECT_EQ(c.pes.count(patPid), 0u) << "a section start is no PES start";
		EXPECT_EQ(c.ccErrors, 0);
		EXPECT_EQ(c.skippedBytes, 0);

		ASSERT_EQ(rec.pes.size(), 2u * rounds) << "only the selected PIDs are handed on";
		int video = 0, audio = 0;
		for (const auto& p : rec.pes)
		{
			if (p.pid == videoPid)
			{
				EXPECT_EQ(p.streamId, videoId);
				EXPECT_EQ(p.es, bytes(videoSize(video), video));
				EXPECT_EQ(p.pts, ptsStep * video);
				EXPECT_EQ(p.dts, video == 0 ? -1 : ptsStep * video - ptsStep / 2);
				video++;
				continue;
			}
			ASSERT_EQ(p.pid, audioPid);
			EXPECT_EQ(p.es, bytes(300 + size_t(audio), audio + 50));
			EXPECT_EQ(p.dts, -1);
			audio++;
		}
		ASSERT_EQ(rec.pcrs.size(), size_t(rounds));
		EXPECT_EQ(rec.pcrs[3], pcrStart + 3 * pcrStep);
	}
}

TEST(TsDemux, FindsPacketsAgainAfterJunk)
{
	const KnownStream s;
	const size_t packets = s.ts.bytes.size() / ts::PACKET_SIZE;
	const std::string junks[] = {
		std::string("\x47\x01\x02\x47\x47\x09\x00\x47", 8), // sync bytes that start no packet
		std::string("\x01\x02\x47\x03", 4),                 // a real packet followed by junk
		std::string("\x47", 1), std::string(500, '\0'),     // longer than a packet
	};
	for (const std::string& junk : junks)
	{
		SCOPED_TRACE("junk of " + std::to_string(junk.size()) + " bytes");
		std::string damaged;
		for (size_t i = 0; i < packets; ++i)
		{
			if (i == 5 || i == 40 || i == 80)
				damaged += junk;
			damaged += s.ts.bytes.substr(i * ts::PACKET_SIZE, ts::PACKET_SIZE);
		}
		Recorder rec;
		const TsDemux::Counts c = feedAll(damaged, rec);
		EXPECT_EQ(c.skippedBytes, 3 * long(junk.size()));
		EXPECT_EQ(c.packets.at(videoPid), s.videoPackets);
		EXPECT_EQ(c.packets.at(audioPid), s.audioPackets);
		EXPECT_EQ(c.ccErrors, 0);
		EXPECT_EQ(rec.pes.size(), 2u * rounds);
	}
}

TEST(TsDemux, ContinuityCounterRules)
{
	struct Step
	{
		int cc;
		bool payload, discontinuity;
	};
	const Step zero = {0, true, false};
	struct Case
	{
		const char* name;
		std::vector<Step> steps;
		long long errors;
		size_t delivered; // payload packets handed on
	};
	const Case cases[] = {
		{"in order across the wrap", {{14, true, false}, {15, true, false}, zero, {1, true, false}}, 0, 4},
		{"the first packet sets the base", {{9, true, false}, {10, true, false}}, 0, 2},
		{"one lost packet", {zero, {1, true, false}, {3, true, false}, {4, true, false}}, 1, 4},
		{"one repetition is skipped", {zero, {1, true, false}, {1, true, false}, {2, true, false}}, 0, 3},
		{"a third copy is an error", {zero, {1, true, false}, {1, true, false}, {1, true, false}}, 1, 3},
		{"adaptation only keeps the counter", {zero, {0, false, false}, {1, true, false}}, 0, 2},
		{"adaptation only is not checked", {zero, {7, false, false}, {1, true, false}}, 0, 2},
		{"a discontinuity sets a new base", {zero, {9, true, true}, {10, true, false}}, 0, 3},
		{"going back is an error", {{5, true, false}, {6, true, false}, {2, true, false}, {3, true, false}}, 1, 4},
	};
	for (const Case& c : cases)
	{
		SCOPED_TRACE(c.name);
		ts::Builder b;
		int marker = 0;
		for (const Step& step : c.steps)
		{
			ts::Packet p;
			p.pid = audioPid;
			p.continuity = step.cc;
			p.payload = p.unitStart = step.payload;
			p.discontinuity = step.discontinuity;
			// Each payload packet is a whole bounded PES, so deliveries show which were kept.
			b.packet(p, bounded(audioId, bytes(1, marker++)));
		}
		Recorder rec;
		EXPECT_EQ(feedAll(b.bytes, rec).ccErrors, c.errors);
		EXPECT_EQ(rec.pes.size(), c.delivered);
	}
}

TEST(TsDemux, ResetForgetsTheStreamInFlightButKeepsCounts)
{
	ts::Builder first;
	first.packet({audioPid, true, 3}, bounded(audioId, bytes(400, 1)));
	TsDemux demux;
	Recorder rec;
	demux.select(videoPid, audioPid);
	demux.feed(raw(first.bytes), first.bytes.size(), rec);
	EXPECT_TRUE(rec.pes.empty()) << "the PES needs more packets";
	demux.reset();

	// Counter 9 is a new base, and the old PES's continuation has nothing to attach to.
	ts::Builder second;
	second.packet({audioPid, false, 9}, bytes(200, 2));
	second.unit(audioPid, bounded(audioId, bytes(50, 3)));
	demux.feed(raw(second.bytes), second.bytes.size(), rec);
	EXPECT_EQ(demux.getCounts().ccErrors, 0);
	ASSERT_EQ(rec.pes.size(), 1u);
	EXPECT_EQ(rec.pes[0].es, bytes(50, 3));
	EXPECT_EQ(demux.getCounts().packets.at(audioPid), 3);
}

TEST(TsDemux, DamagedPacketsAreCountedButCarryNothing)
{
	ts::Builder b;
	ts::Packet broken;
	broken.pid = audioPid;
	broken.unitStart = broken.transportError = true;
	b.packet(broken, bounded(audioId, bytes(20, 1)));
	b.packet({TsDemux::nullPid}, bytes(184, 0));
	const size_t bad = b.bytes.size();
	b.unit(audioPid, bounded(audioId, bytes(20, 2)));
	const char longerThanThePacket = char(200);
	b.bytes[bad + 4] = longerThanThePacket;
	b.unit(audioPid, bounded(audioId, bytes(20, 3)));
	// An unbounded PES that grows past the limit is dropped, not kept growing.
	const size_t payloadSize = ts::PACKET_SIZE - 4;
	b.packet({videoPid, true}, ts::pes(videoId) + std::string(payloadSize, '\0'));
	for (size_t grown = payloadSize; grown <= TsDemux::maxPesSize; grown += payloadSize)
		b.packet({videoPid}, std::string(payloadSize, '\0'));
	b.unit(videoPid, ts::pes(videoId, bytes(10, 4)));

	Recorder rec;
	const TsDemux::Counts c = feedAll(b.bytes, rec);
	ASSERT_EQ(rec.pes.size(), 1u);
	EXPECT_EQ(rec.pes[0].es, bytes(20, 3));
	EXPECT_EQ(c.packets.at(audioPid), 3);
	EXPECT_EQ(c.packets.at(TsDemux::nullPid), 1);
	EXPECT_EQ(c.badPes, 1);
}

TEST(TsDemux, ParsesPesHeaders)
{
	const std::string es = bytes(10, 0);
	const int64_t maxStamp = 0x1FFFFFFFFLL;
	const std::string full = ts::pes(videoId, es, maxStamp, 12345);
	const std::string ptsOnly = bounded(audioId, es, 90000);
	const std::string padding("\x00\x00\x01\xBE\x00\x03\xFF\xFF\xFF", 9);
	const std::string shortHeader = full.substr(0, 12);
	std::string noStart = full;
	noStart[2] = 2;
	std::string mpeg1 = ptsOnly;
	mpeg1[6] = 0x0F; // not the MPEG-2 '10' marker
	struct Case
	{
		const char* name;
		const std::string& pes;
		bool ok;
		int64_t pts, dts;
		size_t payload;
	};
	const Case cases[] = {
		{"PTS and DTS, 33 bits", full, true, maxStamp, 12345, es.size()},
		{"PTS only", ptsOnly, true, 90000, -1, es.size()},
		{"no optional header", padding, true, -1, -1, 3},
		{"header longer than the data", shortHeader, false, 0, 0, 0},
		{"no start code", noStart, false, 0, 0, 0},
		{"MPEG-1 header", mpeg1, false, 0, 0, 0},
	};
	for (const Case& c : cases)
	{
		SCOPED_TRACE(c.name);
		TsDemux::Pes p;
		ASSERT_EQ(TsDemux::parsePes(raw(c.pes), c.pes.size(), p), c.ok);
		if (!c.ok)
			continue;
		EXPECT_EQ(p.pts, c.pts);
		EXPECT_EQ(p.dts, c.dts);
		EXPECT_EQ(p.size, c.payload);
	}
}
