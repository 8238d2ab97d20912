// The PID scan and the stream arithmetic. Any bytes: the buffer holds the same bytes
// after the scan, and every PID found has a packet that shows it. The same bytes cut
// into aligned packets: every kind of stream a packet starts is found.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <vector>

#include "FuzzCheck.h"
#include "StreamRules.h"
#include "TsPidScan.h"

namespace
{
const int allocation = 4096;
const uint8_t payloadUnitStart = 0x40, adaptationField = 0x20;
// Header, adaptation length and PES start code come before the stream id.
const std::size_t headBytes = 8;
const int emptyPercent = 8, fullPercent = 100;

// Where the stream id of a packet at pos would be.
std::size_t idOffset(const std::vector<uint8_t>& bytes, std::size_t pos)
{
	return headBytes - 1 + ((bytes[pos + 3] & adaptationField) ? bytes[pos + 4] + 1 : 0);
}

// The PES stream id a packet at pos starts, or -1.
int streamId(const std::vector<uint8_t>& bytes, std::size_t pos)
{
	if (pos + headBytes > bytes.size() || bytes[pos] != TS_SYNC_BYTE || !(bytes[pos + 1] & payloadUnitStart))
		return -1;
	const std::size_t id = pos + idOffset(bytes, pos);
	return id < bytes.size() ? bytes[id] : -1;
}

bool video(int id)
{
	return id >= 0xE0 && id <= 0xEF;
}
bool audio(int id)
{
	return (id >= 0xC0 && id <= 0xDF) || id == 0xBD;
}

bool shown(const std::vector<uint8_t>& bytes, int pid, bool (*kind)(int))
{
	for (std::size_t pos = 0; pos < bytes.size(); ++pos)
		if (kind(streamId(bytes, pos)) && get_pid_stream(&bytes[pos + 1]) == pid)
			return true;
	return false;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
	FuzzedDataProvider input(data, size);
	const bool aligned = input.ConsumeBool(), audioOnly = input.ConsumeBool(), repeated = input.ConsumeBool();
	const int configured = input.ConsumeIntegral<int>(), have = input.ConsumeIntegral<int>();
	std::vector<uint8_t> bytes = input.ConsumeRemainingBytes<uint8_t>();
	// Past the scan's first piece, so that its ends and what a piece before left are seen.
	const std::vector<uint8_t> once = bytes;
	while (repeated && !once.empty() && bytes.size() <= PID_SCAN_CHUNK)
		bytes.insert(bytes.end(), once.begin(), once.end());
	for (std::size_t pos = 0; aligned && pos < bytes.size(); pos += TS_PACKET_BYTES)
		bytes[pos] = TS_SYNC_BYTE;

	eIOBuffer buffer(allocation);
	buffer.write(bytes.data(), int(bytes.size()));
	int videoPid = 0, audioPid = 0, audioType = 0;
	find_avpids_stream(&buffer, &videoPid, &audioPid, &audioType);
	std::vector<uint8_t> after(bytes.size());
	fuzzCheck(buffer.size() == int(bytes.size()) && buffer.read(after.data(), int(after.size())) == int(bytes.size()) &&
			after == bytes,
		"the buffer holds the same bytes");
	fuzzCheck(videoPid == -1 || shown(bytes, videoPid, video), "a video PID has its packet");
	fuzzCheck(audioPid == -1 || shown(bytes, audioPid, audio), "an audio PID has its packet");
	fuzzCheck((audioPid == -1) == (audioType == -1), "an audio PID has a type");
	bool hasVideo = false, hasAudio = false;
	for (std::size_t pos = 0; aligned && pos + TS_PACKET_BYTES <= bytes.size(); pos += TS_PACKET_BYTES)
	{
		const int id = streamId(bytes, pos);
		const bool inPacket = idOffset(bytes, pos) < TS_PACKET_BYTES;
		hasVideo = hasVideo || (inPacket && video(id));
		hasAudio = hasAudio || (inPacket && audio(id));
	}
	fuzzCheck((!hasVideo || videoPid != -1) && (!hasAudio || audioPid != -1), "an aligned stream's kinds are found");

	const BufferSizing sizing = bufferSizing(audioOnly ? "song.Mp3" : "film.mpg", configured);
	fuzzCheck(sizing.isStream != audioOnly, "audio files are told by their ending");
	const int block = streamBlockSize(sizing.isStream, sizing.initialBuffer);
	fuzzCheck(block > 0 && block <= sizing.initialBuffer, "a stream block fits the prebuffer");
	const int target = sizing.initialBuffer;
	if (have >= 0 && have < target)
	{
		const int now = prebufferPercent(target, have), later = prebufferPercent(target, have + 1);
		fuzzCheck(
			now >= emptyPercent && now <= later && later <= fullPercent, "prebuffer progress climbs from 8 to 100");
	}
	return 0;
}
