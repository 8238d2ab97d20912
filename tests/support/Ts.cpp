#include "Ts.h"

#include <algorithm>

namespace ts
{
namespace
{
const unsigned char SYNC = 0x47;
const int TRANSPORT_ERROR = 0x80, UNIT_START = 0x40, PID_HIGH_BITS = 0x1F;                     // header byte 1
const int HAS_ADAPTATION = 0x20, HAS_PAYLOAD = 0x10, COUNTER_BITS = 0x0F, COUNTER_MODULO = 16; // byte 3
const int DISCONTINUITY_FLAG = 0x80, PCR_FLAG = 0x10;                                          // adaptation flags
const int BYTE = 0xFF;
const char STUFFING = '\xFF';
const size_t HEADER_SIZE = 4;
const size_t ROOM = PACKET_SIZE - HEADER_SIZE; // adaptation field and payload
const size_t LARGEST_FIELD = ROOM - 1;         // after the field's length byte
const size_t FIELD_WITH_PCR = 7;               // flags and the six PCR bytes
const long long PCR_PER_BASE = 300;            // 27 MHz ticks per 90 kHz tick
const int PCR_RESERVED_BITS = 0x7E;
const std::string START_CODE("\x00\x00\x01", 3);
const int PES_FLAGS_BYTE = 0x80; // '10' marker, nothing else set
const int PTS_ONLY = 0x80, PTS_AND_DTS = 0xC0;
const int PTS_PREFIX = 2, PTS_WITH_DTS_PREFIX = 3, DTS_PREFIX = 1;
const size_t TIMESTAMP_SIZE = 5;
const size_t PES_LENGTH_FROM = 6; // the length field counts the bytes after itself
const int VIDEO_SHARE = 4;        // one packet in four is audio
const size_t SYNC_RUN = 3;
const int NULL_PID = 0x1FFF; // stuffing packets, whose counters mean nothing

char byteOf(long long value)
{
	return static_cast<char>(value & BYTE);
}

std::string timestamp(int prefix, long long t)
{
	return {byteOf((prefix << 4) | ((t >> 29) & 0x0E) | 1), byteOf(t >> 22), byteOf(((t >> 14) & 0xFE) | 1),
		byteOf(t >> 7), byteOf(((t << 1) & 0xFE) | 1)};
}
} // namespace

size_t Builder::packet(const Packet& h, const std::string& data)
{
	auto last = counters.find(h.pid);
	int counter = h.continuity;
	if (counter < 0)
		counter = last == counters.end() ? 0 : (last->second + (h.payload ? 1 : 0)) % COUNTER_MODULO;
	if (h.payload)
		counters[h.pid] = counter;

	const size_t least = h.pcr >= 0 ? FIELD_WITH_PCR : h.discontinuity ? 1 : 0;
	size_t length = std::max<size_t>(least, h.adaptation >= 0 ? h.adaptation : 0);
	if (!h.payload)
		length = LARGEST_FIELD;
	else if (h.adaptation < 0 && data.size() < ROOM - (least > 0 ? 1 + least : 0))
		length = std::max(least, LARGEST_FIELD - std::min(data.size(), LARGEST_FIELD));
	length = std::min(length, LARGEST_FIELD);
	const bool field = !h.payload || h.adaptation >= 0 || least > 0 || data.size() < ROOM;

	std::string p = {static_cast<char>(SYNC),
		byteOf(
			(h.transportError ? TRANSPORT_ERROR : 0) | (h.unitStart ? UNIT_START : 0) | ((h.pid >> 8) & PID_HIGH_BITS)),
		byteOf(h.pid), byteOf((field ? HAS_ADAPTATION : 0) | (h.payload ? HAS_PAYLOAD : 0) | (counter & COUNTER_BITS))};
	if (field)
	{
		p += byteOf(static_cast<long long>(length));
		if (length > 0)
			p += byteOf((h.discontinuity ? DISCONTINUITY_FLAG : 0) | (h.pcr >= 0 ? PCR_FLAG : 0));
		if (h.pcr >= 0)
		{
			const long long base = h.pcr / PCR_PER_BASE, extension = h.pcr % PCR_PER_BASE;
			p += {byteOf(base >> 25), byteOf(base >> 17), byteOf(base >> 9), byteOf(base >> 1),
				byteOf(((base & 1) << 7) | PCR_RESERVED_BITS | ((extension >> 8) & 1)), byteOf(extension)};
		}
		p.append(HEADER_SIZE + 1 + length - p.size(), STUFFING);
	}
	const size_t taken = h.payload ? std::min(data.size(), PACKET_SIZE - p.size()) : 0;
	p.append(data, 0, taken);
	p.append(PACKET_SIZE - p.size(), FILLER);
	bytes += p;
	return taken;
}

int Builder::unit(int pid, const std::string& data, long long pcr)
{
	int packets = 0;
	size_t at = 0;
	do
	{
		Packet h;
		h.pid = pid;
		h.unitStart = at == 0;
		h.pcr = at == 0 ? pcr : NO_TIME;
		at += packet(h, data.substr(at));
		++packets;
	} while (at < data.size());
	return packets;
}

void Builder::program(int packets, int videoPid, int audioPid, int audioStreamId, int pesEvery)
{
	std::map<int, int> sent;
	for (int i = 0; i < packets; ++i)
	{
		const bool audio = videoPid < 0 || i % VIDEO_SHARE == VIDEO_SHARE - 1;
		const int pid = audio ? audioPid : videoPid;
		const bool start = sent[pid]++ % pesEvery == 0;
		std::string payload = start ? START_CODE + byteOf(audio ? audioStreamId : VIDEO_STREAM_ID) : std::string();
		payload.resize(ROOM, FILLER);
		packet({pid, start}, payload);
	}
}

std::string pes(int streamId, const std::string& es, long long pts, long long dts, bool bounded)
{
	const bool withDts = pts >= 0 && dts >= 0;
	std::string out = START_CODE + byteOf(streamId) + std::string(2, '\0') + byteOf(PES_FLAGS_BYTE);
	out += byteOf(pts < 0 ? 0 : withDts ? PTS_AND_DTS : PTS_ONLY);
	out += byteOf(static_cast<long long>(pts < 0 ? 0 : withDts ? 2 * TIMESTAMP_SIZE : TIMESTAMP_SIZE));
	if (pts >= 0)
		out += timestamp(withDts ? PTS_WITH_DTS_PREFIX : PTS_PREFIX, pts);
	if (withDts)
		out += timestamp(DTS_PREFIX, dts);
	out += es;
	if (bounded)
	{
		const size_t length = out.size() - PES_LENGTH_FROM;
		out[4] = byteOf(static_cast<long long>(length >> 8));
		out[5] = byteOf(static_cast<long long>(length));
	}
	return out;
}

std::string section(int tableId)
{
	// Pointer field, table id, a short syntax header: a unit start that is no PES.
	return {'\0', byteOf(tableId), '\xB0', '\x0D', '\0', '\x01', '\xC1', '\0', '\0'};
}

bool Scan::hasStreamId(int id) const
{
	for (const auto& ids : streamIds)
		if (ids.second.count(id))
			return true;
	return false;
}

Scan scan(const std::string& bytes)
{
	Scan s;
	const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
	auto runAt = [&](size_t at) {
		// Near the end, the sync bytes that fit are enough.
		for (size_t k = 0; k < SYNC_RUN && at + k * PACKET_SIZE < bytes.size(); ++k)
			if (data[at + k * PACKET_SIZE] != SYNC)
				return false;
		return true;
	};
	while (s.skipped < bytes.size() && !runAt(s.skipped))
		++s.skipped;
	s.aligned = s.skipped < bytes.size();
	// The last counter of each PID, and whether that packet repeated the one before.
	std::map<int, std::pair<int, bool>> last;
	for (size_t at = s.skipped; s.aligned && at + PACKET_SIZE <= bytes.size(); at += PACKET_SIZE)
	{
		const unsigned char* p = data + at;
		if (p[0] != SYNC)
		{
			s.aligned = false;
			break;
		}
		const int pid = ((p[1] & PID_HIGH_BITS) << 8) | p[2];
		++s.packets;
		++s.packetsByPid[pid];
		const bool field = p[3] & HAS_ADAPTATION;
		const size_t offset = HEADER_SIZE + (field ? 1 + p[4] : 0);
		const bool discontinuity = field && p[4] > 0 && (p[5] & DISCONTINUITY_FLAG);
		if ((p[3] & HAS_PAYLOAD) && pid != NULL_PID)
		{
			const int counter = p[3] & COUNTER_BITS;
			auto before = last.find(pid);
			bool repeat = false;
			if (before != last.end() && !discontinuity)
			{
				repeat = counter == before->second.first && !before->second.second;
				if (!repeat && counter != (before->second.first + 1) % COUNTER_MODULO)
					++s.continuityErrors[pid];
			}
			last[pid] = {counter, repeat};
		}
		if ((p[1] & UNIT_START) && offset + START_CODE.size() < PACKET_SIZE &&
			bytes.compare(at + offset, START_CODE.size(), START_CODE) == 0)
			s.streamIds[pid].insert(p[offset + START_CODE.size()]);
	}
	s.aligned = s.aligned && s.packets > 0;
	return s;
}
} // namespace ts
