#ifndef OXLE_ENGINE_STREAMRULES_H
#define OXLE_ENGINE_STREAMRULES_H

#include "eString.h"
#include "oxleConfig.h"

// The arithmetic of the stream path, free of sockets, threads and widgets.

// One transport packet and the block the stream path moves at a time.
const int TS_PACKET_BYTES = 188;
const int STREAM_BLOCK_PACKETS = 1392;
const int STREAM_BLOCKSIZE = TS_PACKET_BYTES * STREAM_BLOCK_PACKETS; // 261696

// Audio-only files take the "buffersize" blocks (oxleConfig.h) in 8000 bytes each.
const int AUDIO_BYTES_PER_BUFFER_BLOCK = 8000;

// Audio-only files are told by the last three characters of their path, any case.
bool isAudioOnlyPath(const eString& path);

struct BufferSizing
{
	bool isStream;
	int blockSize;
	int initialBuffer;
};

// Sizes for a start of path with bufferBlocks(configured) blocks.
BufferSizing bufferSizing(const eString& path, int configured);

// Bytes per socket read and device write once a stream runs: a video block, or a
// quarter of the prebuffer target for audio-only streams.
int streamBlockSize(bool isStream, int initialBuffer);

// The progress shown while prebuffering: 8 with an empty buffer, 100 at the target,
// above 100 when the last read overshoots it.
int prebufferPercent(int target, int have);

// Width of the progress bar for a picture of pictureWidth pixels at percent.
int progressBarWidth(int pictureWidth, int percent);

// The decoder's audio type code (0 MPEG, 1 AC-3, 3 AC-3 of a DVD source) for the
// detected audio type (-1 unknown), the box's AC-3 preference and the played path.
int audioTypeCode(int detectedType, int ac3Preference, const eString& path);

#endif
