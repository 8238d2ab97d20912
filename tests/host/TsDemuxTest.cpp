#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "Ts.h"
#include "TsDemux.h"

namespace
{
const int demuxVideoPid = 0x100, demuxAudioPid = 0x101, patPid = 0, otherPid = 0x222;
const int demuxVideoId = ts::VIDEO_STREAM_ID, demuxAudioId = ts::AUDIO_STREAM_ID;
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
			videoPackets += ts.unit(
				demuxVideoPid, ts::pes(demuxVideoId, bytes(videoSize(i), i), ptsStep * i, dts), pcrStart + pcrStep * i);
			audioPackets += ts.unit(demuxAudioPid, bounded(demuxAudioId, bytes(300 + size_t(i), i + 50), ptsStep * i));
			otherPackets += ts.unit(otherPid, ts::pes(demuxVideoId + 1, bytes(500, 9)));
		}
		videoPackets += ts.unit(demuxVideoPid, ts::pes(demuxVideoId, bytes(10, 1)));
	}
};

TsDemux::Counts feedAll(const std::string& stream, Recorder& rec, size_t chunk = SIZE_MAX)
{
	TsDemux demux;
	demux.select(demuxVideoPid, demuxAudioPid);
	for (size_t at = 0; at < stream.size(); at += chunk)
		demux.feed(reinterpret_cast<const uint8_t*>(stream.data()) + at, std::min(chunk, stream.size() - at), rec);
	return demux.getCounts();
}
} // namespace

// Every read size; junk between packets in one read (a false sync byte ending a read is trusted).
TEST(TsDemux, CountsAndReassemblesAKnownStreamWhateverTheReadSizesAndJunk)
{
	const KnownStream s;
	const size_t packets = s.ts.bytes.size() / ts::PACKET_SIZE, all = SIZE_MAX;
	const struct
	{
		size_t chunk;
		std::string junk;
	} rows[] = {
		{1, ""}, {ts::PACKET_SIZE, ""}, {1000, ""}, {all, ""},
		{all, std::string("\x47\x01\x02\x47\x47\x09\x00\x47", 8)}, // sync bytes that start no packet
		{all, std::string("\x01\x02\x47\x03", 4)},                 // a real packet followed by junk
		{all, "\x47"}, {all, std::string(500, '\0')},              // longer than a packet
	};
	for (const auto& row : rows)
	{
		SCOPED_TRACE("chunk " + std::to_string(row.chunk) + ", junk of " + std::to_string(row.junk.size()));
		std::string damaged;
		for (size_t i = 0; i < packets; ++i)
			damaged += (i == 5 || i == 40 || i == 80 ? row.junk : "") +
				s.ts.bytes.substr(i * ts::PACKET_SIZE, ts::PACKET_SIZE);
		Recorder rec;
		const TsDemux::Counts c = feedAll(damaged, rec, row.chunk);
		EXPECT_EQ(c.skippedBytes, 3 * long(row.junk.size()));
		EXPECT_EQ(c.packets.at(demuxVideoPid), s.videoPackets);
		EXPECT_EQ(c.packets.at(demuxAudioPid), s.audioPackets);
		EXPECT_EQ(c.packets.at(otherPid), s.otherPackets);
		EXPECT_EQ(c.packets.at(patPid), rounds);
		EXPECT_EQ(c.pes.at(demuxVideoPid), rounds + 1);
		EXPECT_EQ(c.pes.at(demuxAudioPid), rounds);
		EXPECT_EQ(c.pes.at(otherPid), rounds) << "counted on every PID, selected or not";
		EXPECT_EQ(c.pes.count(patPid), 0u) << "a section start is no PES start";
		EXPECT_EQ(c.ccErrors, 0);

		ASSERT_EQ(rec.pes.size(), 2u * rounds) << "only the selected PIDs are handed on";
		int seen[2] = {0, 0}; // video, audio
		for (const auto& p : rec.pes)
		{
			const bool video = p.pid == demuxVideoPid;
			const int i = seen[video ? 0 : 1]++;
			ASSERT_TRUE(video || p.pid == demuxAudioPid);
			EXPECT_EQ(p.streamId, video ? demuxVideoId : demuxAudioId);
			EXPECT_EQ(p.es, video ? bytes(videoSize(i), i) : bytes(300 + size_t(i), i + 50));
			EXPECT_EQ(p.pts, ptsStep * i);
			EXPECT_EQ(p.dts, video && i > 0 ? ptsStep * i - ptsStep / 2 : -1);
		}
		ASSERT_EQ(rec.pcrs.size(), size_t(rounds));
		EXPECT_EQ(rec.pcrs[3], pcrStart + 3 * pcrStep);
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
	// what, the packets, errors, payload packets handed on
	const std::tuple<const char*, std::vector<Step>, long long, size_t> cases[] = {
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
	for (const auto& [what, steps, errors, delivered] : cases)
	{
		SCOPED_TRACE(what);
		ts::Builder b;
		int marker = 0;
		for (const Step& step : steps)
		{
			ts::Packet p;
			p.pid = demuxAudioPid;
			p.continuity = step.cc;
			p.payload = p.unitStart = step.payload;
			p.discontinuity = step.discontinuity;
			// Each payload packet is a whole bounded PES, so deliveries show which were kept.
			b.packet(p, bounded(demuxAudioId, bytes(1, marker++)));
		}
		Recorder rec;
		EXPECT_EQ(feedAll(b.bytes, rec).ccErrors, errors);
		EXPECT_EQ(rec.pes.size(), delivered);
	}
}
