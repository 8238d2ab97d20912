#include "TsFactory.h"

#include <map>

namespace TsFactory
{
namespace
{
const unsigned char SYNC = 0x47;
const unsigned char PUSI = 0x40;
const unsigned char PAYLOAD_ONLY = 0x10;
const unsigned char ADAPTATION_AND_PAYLOAD = 0x30;
const unsigned char STUFFING = 0xFF;
const int HEADER = 4;
const int CONTINUITY_MASK = 0x0F;
const int VIDEO_STREAM_ID = 0xE0;
// Payload bytes that are no sync byte, so that a scan never syncs inside a packet.
const unsigned char FILLER = 0x5A;

std::string header(int pid, bool start, bool adaptation, int continuity)
{
	std::string h(HEADER, '\0');
	h[0] = static_cast<char>(SYNC);
	h[1] = static_cast<char>((start ? PUSI : 0) | ((pid >> 8) & 0x1F));
	h[2] = static_cast<char>(pid & 0xFF);
	h[3] = static_cast<char>((adaptation ? ADAPTATION_AND_PAYLOAD : PAYLOAD_ONLY) | (continuity & CONTINUITY_MASK));
	return h;
}
} // namespace

std::string packet(int pid, int streamId, int adaptationLength, int continuity)
{
	bool adaptation = adaptationLength >= 0;
	std::string p = header(pid, streamId >= 0, adaptation, continuity);
	if (adaptation)
	{
		p += static_cast<char>(adaptationLength);
		if (adaptationLength > 0)
		{
			p += '\0'; // adaptation flags
			p.append(static_cast<size_t>(adaptationLength - 1), static_cast<char>(STUFFING));
		}
	}
	if (streamId >= 0)
	{
		p += std::string("\x00\x00\x01", 3);
		p += static_cast<char>(streamId);
	}
	if (p.size() < static_cast<size_t>(PACKET))
		p.append(static_cast<size_t>(PACKET) - p.size(), static_cast<char>(FILLER));
	p.resize(PACKET);
	return p;
}

std::string continuation(int pid, int continuity)
{
	std::string p = header(pid, false, false, continuity);
	p.append(static_cast<size_t>(PACKET - HEADER), static_cast<char>(FILLER));
	return p;
}

std::string program(int packets, int videoPid, int audioPid, int audioStreamId, int pesEvery)
{
	std::string ts;
	ts.reserve(static_cast<size_t>(packets) * PACKET);
	std::map<int, int> count;
	for (int i = 0; i < packets; ++i)
	{
		// Three video packets to one audio packet, roughly as a real programme.
		bool audio = videoPid < 0 || i % 4 == 3;
		int pid = audio ? audioPid : videoPid;
		int n = count[pid]++;
		if (n % pesEvery == 0)
			ts += packet(pid, audio ? audioStreamId : VIDEO_STREAM_ID, NO_ADAPTATION, n);
		else
			ts += continuation(pid, n);
	}
	return ts;
}
} // namespace TsFactory
