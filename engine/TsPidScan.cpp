#include "TsPidScan.h"

#include <vector>

#include "StreamRules.h"

namespace
{
const int PAYLOAD_UNIT_START = 0x40;
const int ADAPTATION_FIELD_PRESENT = 0x20;
const int PID_HIGH_BITS = 0x1F00;
// A packet's header is 4 bytes; its PES stream id is the 4th byte of the PES header.
const int ADAPTATION_BYTE = 3;
const int ADAPTATION_LENGTH_BYTE = 4;
const int STREAM_ID_OFFSET = 7;
// The scan stops this many bytes short of the end, so the header bytes it reads are
// always there.
const int SCAN_TAIL = 7;

const int VIDEO_ID_FIRST = 0xE0, VIDEO_ID_LAST = 0xEF;
const int MPEG_AUDIO_ID_FIRST = 0xC0, MPEG_AUDIO_ID_LAST = 0xDF;
const int PRIVATE_STREAM_1 = 0xBD;
} // namespace

int get_pid_stream(const unsigned char* p)
{
	return ((p[0] << 8) & PID_HIGH_BITS) | p[1];
}

void scanPesStreamIds(const unsigned char* block, int length, AvPids& pids)
{
	int pos = 0;
	while (pos < length - SCAN_TAIL && !pids.complete())
	{
		const unsigned char* packet = block + pos;
		if (packet[0] != TS_SYNC_BYTE)
		{
			++pos;
			continue;
		}
		if (!(packet[1] & PAYLOAD_UNIT_START))
		{
			pos += TS_PACKET_BYTES;
			continue;
		}
		int idPos = pos + STREAM_ID_OFFSET;
		if (packet[ADAPTATION_BYTE] & ADAPTATION_FIELD_PRESENT)
			idPos += packet[ADAPTATION_LENGTH_BYTE] + 1;
		if (idPos < length)
		{
			int id = block[idPos];
			int pid = get_pid_stream(packet + 1);
			if (id >= VIDEO_ID_FIRST && id <= VIDEO_ID_LAST)
				pids.videoPid = pid;
			else if (id >= MPEG_AUDIO_ID_FIRST && id <= MPEG_AUDIO_ID_LAST)
			{
				pids.audioPid = pid;
				pids.audioType = PID_AUDIO_MPEG;
			}
			else if (id == PRIVATE_STREAM_1)
			{
				pids.audioPid = pid;
				pids.audioType = PID_AUDIO_AC3;
			}
		}
		pos += TS_PACKET_BYTES;
	}
}

void find_avpids_stream(eIOBuffer* buffer, int* videoPid, int* audioPid, int* audioType)
{
	AvPids pids;
	int total = buffer ? buffer->size() : 0;
	// On the heap: the GUI thread's stack is not ours to spend.
	std::vector<unsigned char> block(total > 0 ? PID_SCAN_CHUNK : 0);
	while (total > 0)
	{
		int want = total < PID_SCAN_CHUNK ? total : PID_SCAN_CHUNK;
		int got = buffer->read(block.data(), want);
		if (got <= 0)
			break;
		buffer->write(block.data(), got);
		total -= got;
		scanPesStreamIds(block.data(), got, pids);
	}
	*videoPid = pids.videoPid;
	*audioPid = pids.audioPid;
	*audioType = pids.audioType;
}
