#include "TsDemux.h"

#include <cstring>

namespace
{
const uint8_t flagTransportError = 0x80;
const uint8_t flagUnitStart = 0x40;
const uint8_t flagDiscontinuity = 0x80;
const uint8_t flagPcr = 0x10;
const int afcPayload = 0x1;
const int afcAdaptation = 0x2;
const int ccModulo = 16;
const size_t pcrFieldSize = 6;
const int pcrBaseScale = 300; // 27 MHz ticks per 90 kHz tick

const size_t pesHeaderSize = 6;     // start code, stream id, length
const size_t pesOptionalHeader = 3; // flags, flags, header data length
const uint8_t ptsFlag = 0x80;
const uint8_t dtsFlag = 0x40;
const uint8_t mpeg2PesMarker = 0x80; // '10' in the top bits of the first flags byte
const uint8_t mpeg2PesMask = 0xC0;
const size_t timestampSize = 5;

// Stream ids whose PES packets carry no optional header.
bool hasOptionalHeader(int streamId)
{
	switch (streamId)
	{
	case 0xBC: // program stream map
	case 0xBE: // padding
	case 0xBF: // private stream 2
	case 0xF0: // ECM
	case 0xF1: // EMM
	case 0xF2: // DSM-CC
	case 0xF8: // H.222.1 type E
	case 0xFF: // program stream directory
		return false;
	default:
		return true;
	}
}

bool isStartCode(const uint8_t* p, size_t n)
{
	return n >= 3 && p[0] == 0 && p[1] == 0 && p[2] == 1;
}
} // namespace

void TsDemux::select(int videoPid, int audioPid)
{
	video.pid = videoPid;
	audio.pid = audioPid;
	video.active = audio.active = false;
	video.data.clear();
	audio.data.clear();
}

void TsDemux::reset()
{
	pids.clear();
	video.active = audio.active = false;
	video.data.clear();
	audio.data.clear();
	pcrPid = noPid;
	carried = 0;
	aborted = true; // a reset from inside a callback ends the feed in progress
}

void TsDemux::feed(const uint8_t* data, size_t size, Listener& listener)
{
	aborted = false;
	size_t pos = 0;
	if (carried > 0)
	{
		size_t take = packetSize - carried;
		if (take > size)
			take = size;
		memcpy(carry + carried, data, take);
		carried += take;
		pos = take;
		if (carried < static_cast<size_t>(packetSize))
			return;
		carried = 0;
		uint8_t whole[packetSize];
		memcpy(whole, carry, packetSize);
		packet(whole, listener);
	}
	while (!aborted && pos < size)
	{
		if (data[pos] != syncByte)
		{
			// Lost sync: a candidate counts only when the next packet would start with
			// a sync byte too (or the data ends before we can tell).
			size_t next = pos + 1;
			while (next < size &&
				!(data[next] == syncByte && (next + packetSize >= size || data[next + packetSize] == syncByte)))
				++next;
			counts.skippedBytes += static_cast<long long>(next - pos);
			pos = next;
			continue;
		}
		if (size - pos < static_cast<size_t>(packetSize))
		{
			carried = size - pos;
			memcpy(carry, data + pos, carried);
			return;
		}
		size_t next = pos + packetSize;
		if (next < size && data[next] != syncByte)
		{
			// Either this packet is followed by junk, or it is junk itself that happens to
			// start with a sync byte. Junk overlaps a real packet whose start is confirmed
			// by the packet after it.
			size_t real = pos + 1;
			while (real < next &&
				!(data[real] == syncByte && real + packetSize < size && data[real + packetSize] == syncByte))
				++real;
			if (real < next)
			{
				counts.skippedBytes += static_cast<long long>(real - pos);
				pos = real;
				continue;
			}
		}
		packet(data + pos, listener);
		pos = next;
	}
}

void TsDemux::packet(const uint8_t* p, Listener& listener)
{
	int pid = ((p[1] & 0x1F) << 8) | p[2];
	counts.packets[pid]++;
	if ((p[1] & flagTransportError) || pid == nullPid)
		return;
	bool unitStart = p[1] & flagUnitStart;
	int afc = (p[3] >> 4) & 0x3;
	int cc = p[3] & 0xF;

	size_t offset = 4;
	bool discontinuity = false;
	if (afc & afcAdaptation)
	{
		size_t afLength = p[4];
		size_t maxLength = (afc & afcPayload) ? packetSize - 6 : packetSize - 5;
		if (afLength > maxLength)
			return; // damaged header: neither the clock nor the payload can be trusted
		if (afLength > 0)
		{
			uint8_t flags = p[5];
			discontinuity = flags & flagDiscontinuity;
			if ((flags & flagPcr) && afLength >= 1 + pcrFieldSize)
			{
				const uint8_t* f = p + 6;
				int64_t base = (int64_t(f[0]) << 25) | (int64_t(f[1]) << 17) | (int64_t(f[2]) << 9) |
					(int64_t(f[3]) << 1) | (f[4] >> 7);
				int64_t ext = ((f[4] & 0x1) << 8) | f[5];
				if (pcrPid == noPid)
					pcrPid = pid;
				if (pcrPid == pid)
				{
					listener.onPcr(pid, base * pcrBaseScale + ext);
					if (aborted)
						return;
				}
			}
		}
		offset += 1 + afLength;
	}
	if (!(afc & afcPayload))
		return;
	if (!checkContinuity(pid, cc, discontinuity))
		return;
	const uint8_t* data = p + offset;
	size_t n = packetSize - offset;
	if (unitStart && isStartCode(data, n))
		counts.pes[pid]++;
	payload(pid, unitStart, data, n, listener);
}

bool TsDemux::checkContinuity(int pid, int cc, bool discontinuity)
{
	PidState& s = pids[pid];
	if (s.lastCc < 0 || discontinuity)
	{
		s.lastCc = cc;
		s.lastWasDuplicate = false;
		return true;
	}
	if (cc == s.lastCc)
	{
		// One repetition of a packet is allowed and carries nothing new; a second one
		// in a row means packets went missing in between.
		if (!s.lastWasDuplicate)
		{
			s.lastWasDuplicate = true;
			return false;
		}
		counts.ccErrors++;
		s.lastWasDuplicate = false;
		return true;
	}
	if (cc != (s.lastCc + 1) % ccModulo)
		counts.ccErrors++;
	s.lastCc = cc;
	s.lastWasDuplicate = false;
	return true;
}

TsDemux::Assembly* TsDemux::assemblyFor(int pid)
{
	if (pid == noPid)
		return nullptr;
	if (pid == video.pid)
		return &video;
	if (pid == audio.pid)
		return &audio;
	return nullptr;
}

void TsDemux::payload(int pid, bool unitStart, const uint8_t* p, size_t n, Listener& listener)
{
	Assembly* a = assemblyFor(pid);
	if (!a)
		return;
	if (unitStart)
	{
		if (a->active)
		{
			deliver(*a, listener);
			if (aborted)
				return;
		}
		a->data.clear();
		a->active = isStartCode(p, n);
	}
	if (!a->active)
		return; // no PES start seen since the last reset: nothing to attach this to
	if (a->data.size() + n > maxPesSize)
	{
		counts.badPes++;
		a->active = false;
		a->data.clear();
		return;
	}
	a->data.insert(a->data.end(), p, p + n);
	if (a->data.size() >= pesHeaderSize)
	{
		size_t length = (size_t(a->data[4]) << 8) | a->data[5];
		// A bounded PES is complete as soon as its bytes are in; an unbounded one (video)
		// ends at the next unit start.
		if (length != 0 && a->data.size() >= pesHeaderSize + length)
		{
			a->data.resize(pesHeaderSize + length);
			deliver(*a, listener);
		}
	}
}

void TsDemux::deliver(Assembly& a, Listener& listener)
{
	a.active = false;
	Pes pes;
	if (!parsePes(a.data.data(), a.data.size(), pes))
	{
		counts.badPes++;
		return;
	}
	pes.pid = a.pid;
	listener.onPes(pes);
}

void TsDemux::finish(Listener& listener)
{
	aborted = false;
	if (video.active)
		deliver(video, listener);
	if (audio.active && !aborted)
		deliver(audio, listener);
	carried = 0;
}

int64_t TsDemux::readTimestamp(const uint8_t* p)
{
	return (int64_t(p[0] & 0x0E) << 29) | (int64_t(p[1]) << 22) | (int64_t(p[2] & 0xFE) << 14) | (int64_t(p[3]) << 7) |
		(p[4] >> 1);
}

bool TsDemux::parsePes(const uint8_t* data, size_t size, Pes& out)
{
	if (size < pesHeaderSize || !isStartCode(data, size))
		return false;
	out.streamId = data[3];
	out.pts = out.dts = -1;
	size_t start = pesHeaderSize;
	if (hasOptionalHeader(out.streamId))
	{
		if (size < pesHeaderSize + pesOptionalHeader || (data[6] & mpeg2PesMask) != mpeg2PesMarker)
			return false;
		uint8_t flags = data[7];
		size_t headerLength = data[8];
		start = pesHeaderSize + pesOptionalHeader + headerLength;
		if (start > size)
			return false;
		const uint8_t* ts = data + pesHeaderSize + pesOptionalHeader;
		if ((flags & ptsFlag) && headerLength >= timestampSize)
			out.pts = readTimestamp(ts);
		if ((flags & ptsFlag) && (flags & dtsFlag) && headerLength >= 2 * timestampSize)
			out.dts = readTimestamp(ts + timestampSize);
	}
	out.payload = data + start;
	out.size = size - start;
	return true;
}
