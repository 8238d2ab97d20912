#ifndef OXLE_TESTS_ENGINE_TSFACTORY_H
#define OXLE_TESTS_ENGINE_TSFACTORY_H

#include <string>

// Transport stream bytes made to order for the engine's tests.
namespace TsFactory
{
const int PACKET = 188;
const int NO_STREAM_ID = -1;
const int NO_ADAPTATION = -1;

// One packet. streamId >= 0 puts a PES start (00 00 01 id) at the start of the
// payload and sets the payload-unit-start flag; adaptationLength >= 0 adds an
// adaptation field of that length before the payload.
std::string packet(int pid, int streamId, int adaptationLength = NO_ADAPTATION, int continuity = 0);
// A packet that continues a PES packet (no start flag).
std::string continuation(int pid, int continuity = 0);

// packets packets of a program with video on videoPid (stream id 0xE0, skipped when
// videoPid < 0) and audio on audioPid with audioStreamId; a PES starts every
// pesEvery packets of a PID. Continuity counters run per PID.
std::string program(int packets, int videoPid, int audioPid, int audioStreamId = 0xC0, int pesEvery = 8);
} // namespace TsFactory

#endif
