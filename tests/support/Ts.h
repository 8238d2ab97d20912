#ifndef OXLE_TESTS_SUPPORT_TS_H
#define OXLE_TESTS_SUPPORT_TS_H

#include <cstddef>
#include <map>
#include <set>
#include <string>

// Transport stream bytes made to order, and a scan of bytes a stream delivered.
namespace ts
{
const size_t PACKET_SIZE = 188;
// Payload padding that is never a sync byte (0x5A), so no scan syncs inside a packet.
const char FILLER = 'Z';
const int NEXT = -1;   // the PID's next continuity counter
const int NEEDED = -1; // an adaptation field only as the packet needs one
const long long NO_TIME = -1;
const int VIDEO_STREAM_ID = 0xE0;
const int AUDIO_STREAM_ID = 0xC0;
const int PES_EVERY = 8;

struct Packet
{
	int pid = 0;
	bool unitStart = false;
	int continuity = NEXT;
	// NEEDED stuffs a short payload in the adaptation field, so its bytes stay exact; a
	// length of its own (0 and up) makes the field that long and pads the payload with
	// FILLER.
	int adaptation = NEEDED;
	long long pcr = NO_TIME; // 27 MHz
	bool discontinuity = false;
	bool payload = true; // false: an adaptation field alone, the counter unchanged
	bool transportError = false;
};

class Builder
{
public:
	// One packet carrying the front of data; returns how many bytes of it went in.
	size_t packet(const Packet& header, const std::string& data = std::string());
	// data (a PES packet, a section) cut into packets on pid, the first a unit start
	// with pcr; returns the packets written.
	int unit(int pid, const std::string& data, long long pcr = NO_TIME);
	// packets packets of a programme: video on videoPid (none when negative) and audio
	// on audioPid, three video packets to one audio; each PID starts a PES every
	// pesEvery of its packets, which carry no PES header beyond the stream id.
	void program(
		int packets, int videoPid, int audioPid, int audioStreamId = AUDIO_STREAM_ID, int pesEvery = PES_EVERY);

	std::string bytes;

private:
	std::map<int, int> counters;
};

// A PES packet: start code, stream id, a header with PTS (and DTS) when they are given,
// then es. bounded sets the length field (0 means unbounded, as for video).
std::string pes(int streamId, const std::string& es = std::string(), long long pts = NO_TIME, long long dts = NO_TIME,
	bool bounded = false);
// The start of a PSI section: pointer field and table id.
std::string section(int tableId);

struct Scan
{
	// Every packet from the first run of three sync bytes on starts with a sync byte.
	bool aligned = false;
	size_t skipped = 0; // bytes before that run
	size_t packets = 0;
	std::map<int, size_t> packetsByPid;
	std::map<int, std::set<int>> streamIds; // PES stream ids at unit starts, by PID
	// Counters that jump, by PID. One repeat of a packet is allowed; a second is not.
	std::map<int, int> continuityErrors;

	bool hasStreamId(int id) const;
};
Scan scan(const std::string& bytes);
} // namespace ts

#endif
