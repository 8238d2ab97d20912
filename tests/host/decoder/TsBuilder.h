#ifndef OXLE_TESTS_DECODER_TSBUILDER_H
#define OXLE_TESTS_DECODER_TSBUILDER_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

// Writes transport stream packets with exactly the properties a test asks for:
// continuity counters (kept per PID, or forced), PCRs, discontinuity flags,
// adaptation-only packets and PES packets cut into packets.
class TsBuilder
{
public:
	static const int packetSize = 188;

	struct Options
	{
		bool unitStart = false;
		int64_t pcr = -1; // 27 MHz, -1: none
		bool discontinuity = false;
		int forceCc = -1;    // -1: next counter of the PID
		bool payload = true; // false: adaptation field only
		bool transportError = false;
	};

	std::vector<uint8_t> out;

	// One packet; payload beyond what fits is cut off. Returns the counter used.
	int packet(int pid, const uint8_t* data, size_t n, const Options& o);
	int packet(int pid, const std::vector<uint8_t>& data, const Options& o)
	{
		return packet(pid, data.data(), data.size(), o);
	}

	// A PES packet (header with PTS, and DTS when dts >= 0) carrying es, cut into
	// packets. bounded: the PES length field is set (else 0, as for video).
	// Returns the number of TS packets written.
	int pes(int pid, int streamId, const std::vector<uint8_t>& es, int64_t pts, int64_t dts, bool bounded,
		int64_t pcr = -1);

	// A PSI section start (pointer field, table id): a unit start without a PES.
	void section(int pid, int tableId);

	static std::vector<uint8_t> pesPacket(
		int streamId, const std::vector<uint8_t>& es, int64_t pts, int64_t dts, bool bounded);

private:
	std::map<int, int> cc;
};

#endif
