#ifndef OXLE_ENGINE_TSPIDSCAN_H
#define OXLE_ENGINE_TSPIDSCAN_H

#include "eIOBuffer.h"

// Finding the video and audio PIDs of a transport stream from the PES stream ids of
// its packets.

const int TS_SYNC_BYTE = 0x47;
// The scan takes the buffer in pieces of this size (348 packets).
const int PID_SCAN_CHUNK = 65424;

// Audio types the scan reports.
const int PID_AUDIO_MPEG = 0;
const int PID_AUDIO_AC3 = 1;

struct AvPids
{
	int videoPid = -1;
	int audioPid = -1;
	int audioType = -1;
	bool complete() const { return videoPid != -1 && audioPid != -1; }
};

// The 13-bit PID; p points at byte 1 of a packet.
int get_pid_stream(const unsigned char* p);

// Scans one block while either PID is still unknown; later finds overwrite earlier
// ones. Resynchronises byte by byte on anything but a sync byte.
void scanPesStreamIds(const unsigned char* block, int length, AvPids& pids);

// Scans the whole buffer. The buffer is rotated through once, so that it holds the
// same bytes in the same order afterwards. Takes no lock: call it while no
// streaming thread runs. Each result is -1 when not found.
void find_avpids_stream(eIOBuffer* buffer, int* videoPid, int* audioPid, int* audioType);

#endif
