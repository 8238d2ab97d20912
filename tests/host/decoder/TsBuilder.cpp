#include "TsBuilder.h"

#include <algorithm>
#include <cstring>

namespace
{
void putTimestamp(std::vector<uint8_t>& v, int prefix, int64_t t)
{
	v.push_back(uint8_t((prefix << 4) | ((t >> 29) & 0x0E) | 1));
	v.push_back(uint8_t(t >> 22));
	v.push_back(uint8_t(((t >> 14) & 0xFE) | 1));
	v.push_back(uint8_t(t >> 7));
	v.push_back(uint8_t(((t << 1) & 0xFE) | 1));
}
} // namespace

int TsBuilder::packet(int pid, const uint8_t* data, size_t n, const Options& o)
{
	uint8_t p[packetSize];
	memset(p, 0xFF, sizeof(p));
	p[0] = 0x47;
	p[1] = uint8_t(((pid >> 8) & 0x1F) | (o.unitStart ? 0x40 : 0) | (o.transportError ? 0x80 : 0));
	p[2] = uint8_t(pid & 0xFF);
	int counter;
	if (o.forceCc >= 0)
		counter = o.forceCc;
	else if (o.payload)
		counter = cc.count(pid) ? (cc[pid] + 1) % 16 : 0;
	else
		counter = cc.count(pid) ? cc[pid] : 0;
	if (o.payload)
		cc[pid] = counter;

	size_t adaptation = 0; // bytes of the adaptation field after its length byte
	bool needAf = o.pcr >= 0 || o.discontinuity || !o.payload || n < packetSize - 4;
	if (o.pcr >= 0)
		adaptation = 7;
	else if (needAf)
		adaptation = 1;
	size_t room = packetSize - 4 - (needAf ? 1 + adaptation : 0);
	size_t take = o.payload ? std::min(n, room) : 0;
	if (needAf)
		adaptation = packetSize - 4 - 1 - take; // stuff the rest
	int afc = (needAf ? 2 : 0) | (o.payload ? 1 : 0);
	p[3] = uint8_t((afc << 4) | counter);
	size_t pos = 4;
	if (needAf)
	{
		p[4] = uint8_t(adaptation);
		if (adaptation > 0)
		{
			p[5] = uint8_t((o.discontinuity ? 0x80 : 0) | (o.pcr >= 0 ? 0x10 : 0));
			if (o.pcr >= 0)
			{
				int64_t base = o.pcr / 300, ext = o.pcr % 300;
				p[6] = uint8_t(base >> 25);
				p[7] = uint8_t(base >> 17);
				p[8] = uint8_t(base >> 9);
				p[9] = uint8_t(base >> 1);
				p[10] = uint8_t(((base & 1) << 7) | 0x7E | ((ext >> 8) & 1));
				p[11] = uint8_t(ext);
			}
		}
		pos = 5 + adaptation;
	}
	if (take)
		memcpy(p + pos, data, take);
	out.insert(out.end(), p, p + packetSize);
	return counter;
}

std::vector<uint8_t> TsBuilder::pesPacket(
	int streamId, const std::vector<uint8_t>& es, int64_t pts, int64_t dts, bool bounded)
{
	std::vector<uint8_t> v = {0, 0, 1, uint8_t(streamId), 0, 0, 0x80};
	bool withDts = dts >= 0;
	v.push_back(pts >= 0 ? (withDts ? 0xC0 : 0x80) : 0);
	v.push_back(uint8_t(pts >= 0 ? (withDts ? 10 : 5) : 0));
	if (pts >= 0)
		putTimestamp(v, withDts ? 3 : 2, pts);
	if (withDts)
		putTimestamp(v, 1, dts);
	v.insert(v.end(), es.begin(), es.end());
	if (bounded)
	{
		size_t length = v.size() - 6;
		v[4] = uint8_t(length >> 8);
		v[5] = uint8_t(length);
	}
	return v;
}

int TsBuilder::pes(
	int pid, int streamId, const std::vector<uint8_t>& es, int64_t pts, int64_t dts, bool bounded, int64_t pcr)
{
	std::vector<uint8_t> v = pesPacket(streamId, es, pts, dts, bounded);
	size_t pos = 0;
	int packets = 0;
	while (pos < v.size())
	{
		Options o;
		o.unitStart = pos == 0;
		o.pcr = pos == 0 ? pcr : -1;
		size_t before = out.size();
		packet(pid, v.data() + pos, v.size() - pos, o);
		// How much went in: the payload sits at the end of the packet.
		const uint8_t* p = out.data() + before;
		size_t header = 4 + (((p[3] >> 4) & 2) ? 1 + p[4] : 0);
		pos += packetSize - header;
		packets++;
	}
	return packets;
}

void TsBuilder::section(int pid, int tableId)
{
	std::vector<uint8_t> s = {0x00, uint8_t(tableId), 0xB0, 0x0D, 0x00, 0x01, 0xC1, 0x00, 0x00};
	Options o;
	o.unitStart = true;
	packet(pid, s, o);
}
