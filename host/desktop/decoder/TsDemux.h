#ifndef OXLE_DESKTOP_TSDEMUX_H
#define OXLE_DESKTOP_TSDEMUX_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

// Transport stream demultiplexer working on plain bytes: finds packet boundaries
// (resynchronising on the sync byte), counts packets, PES starts and continuity
// errors for every PID, and reassembles the PES packets of the selected PIDs.
// Not thread-safe: one owner feeds it.
class TsDemux
{
public:
	static constexpr int packetSize = 188;
	static constexpr uint8_t syncByte = 0x47;
	static constexpr int nullPid = 0x1FFF;
	static constexpr int noPid = -1;

	// One reassembled PES packet of a selected PID. pts/dts are 90 kHz, -1 when absent.
	struct Pes
	{
		int pid = noPid;
		int streamId = 0;
		int64_t pts = -1;
		int64_t dts = -1;
		const uint8_t* payload = nullptr;
		size_t size = 0;
	};

	struct Listener
	{
		virtual ~Listener() = default;
		// A PCR (27 MHz units) on the PID that carries the programme clock.
		virtual void onPcr(int pid, int64_t pcr) = 0;
		virtual void onPes(const Pes& pes) = 0;
	};

	struct Counts
	{
		std::map<int, long long> packets;
		std::map<int, long long> pes;
		long long ccErrors = 0;
		long long skippedBytes = 0; // bytes thrown away while looking for sync
		long long badPes = 0;       // selected PES packets that could not be parsed or overflowed
	};

	// PIDs whose PES packets are reassembled and handed to the listener.
	void select(int videoPid, int audioPid);
	// Forgets everything about the stream in flight (continuity state, partial packets
	// and PES data, the PCR PID); counts stay.
	void reset();
	void clearCounts() { counts = Counts(); }
	const Counts& getCounts() const { return counts; }

	// Processes bytes; a trailing partial packet is kept for the next call.
	void feed(const uint8_t* data, size_t size, Listener& listener);
	// End of the stream: hands out the PES packets still being collected.
	void finish(Listener& listener);
	// Called from a listener callback: the rest of the current feed() is dropped.
	void abortFeed() { aborted = true; }

	// Parses a PES packet (from its start code); false when it is malformed.
	static bool parsePes(const uint8_t* data, size_t size, Pes& out);
	// A 33-bit time stamp at p (5 bytes, marker bits ignored).
	static int64_t readTimestamp(const uint8_t* p);

	// Upper bound for one reassembled PES: far above any SD picture, low enough that a
	// stream without PES boundaries cannot eat the memory.
	static constexpr size_t maxPesSize = 4 * 1024 * 1024;

private:
	struct PidState
	{
		int lastCc = -1; // -1: the next packet with payload sets the base
		bool lastWasDuplicate = false;
	};
	struct Assembly
	{
		int pid = noPid;
		bool active = false;
		std::vector<uint8_t> data;
	};

	void packet(const uint8_t* p, Listener& listener);
	// False when the packet repeats the previous one and must be skipped.
	bool checkContinuity(int pid, int cc, bool discontinuity);
	void payload(int pid, bool unitStart, const uint8_t* p, size_t n, Listener& listener);
	void deliver(Assembly& a, Listener& listener);
	Assembly* assemblyFor(int pid);

	Counts counts;
	std::map<int, PidState> pids;
	Assembly video, audio;
	int pcrPid = noPid;
	uint8_t carry[packetSize];
	size_t carried = 0;
	bool aborted = false;
};

#endif
