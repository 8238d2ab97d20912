// Finding the video and audio PIDs of a stream from the PES stream ids at unit starts.
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "Ts.h"
#include "TsPidScan.h"
#include "eIOBuffer.h"

namespace
{
const int VIDEO = 0x100, AUDIO = 0x101, OTHER_AUDIO = 0x1FF;
const int NO_FIELD = -1;
const std::string FULL_PAYLOAD(ts::PACKET_SIZE, ts::FILLER);

// A packet on pid whose payload starts with a PES header of streamId; unitStart false
// makes it the middle of a PES packet that merely looks like a start.
std::string packet(int pid, int streamId, int adaptation = NO_FIELD, bool unitStart = true)
{
	ts::Builder b;
	if (adaptation == NO_FIELD)
		b.packet({pid, unitStart}, ts::pes(streamId) + FULL_PAYLOAD);
	else
		b.packet({pid, unitStart, ts::NEXT, adaptation}, ts::pes(streamId));
	return b.bytes;
}

using Found = std::tuple<int, int, int>; // video PID, audio PID, audio type

Found scan(const std::string& bytes, int allocation = 4096)
{
	eIOBuffer buffer(allocation);
	buffer.write(bytes.data(), static_cast<int>(bytes.size()));
	int video = 0, audio = 0, type = 0;
	find_avpids_stream(&buffer, &video, &audio, &type);
	return {video, audio, type};
}
} // namespace

TEST(TsPidScan, FindsPidsByStreamId)
{
	const std::string withField = packet(VIDEO, 0xE0, 15); // its stream id is byte 23
	const std::tuple<const char*, std::string, Found> cases[] = {
		{"video and MPEG audio", packet(VIDEO, 0xE0) + packet(AUDIO, 0xC0), {VIDEO, AUDIO, 0}},
		{"AC-3 in private stream 1", packet(VIDEO, 0xE0) + packet(AUDIO, 0xBD), {VIDEO, AUDIO, 1}},
		{"audio only", packet(AUDIO, 0xC0) + packet(AUDIO, 0xC0), {-1, AUDIO, 0}},
		{"last ids of the ranges", packet(VIDEO, 0xEF) + packet(AUDIO, 0xDF), {VIDEO, AUDIO, 0}},
		{"ids just outside the ranges", packet(VIDEO, 0xF0) + packet(AUDIO, 0xBF) + packet(OTHER_AUDIO, 0xBE),
			{-1, -1, -1}},
		{"adaptation fields before the PES", packet(VIDEO, 0xE0, 7) + packet(AUDIO, 0xC0, 0), {VIDEO, AUDIO, 0}},
		{"no unit start", packet(VIDEO, 0xE0, NO_FIELD, false) + packet(AUDIO, 0xC0, 3, false), {-1, -1, -1}},
		{"resynchronises after garbage",
			std::string("\x00\x12\x34\x56\x00", 5) + packet(VIDEO, 0xE0) + packet(AUDIO, 0xBD), {VIDEO, AUDIO, 1}},
		{"later finds overwrite until both are known",
			packet(AUDIO, 0xC0) + packet(OTHER_AUDIO, 0xBD) + packet(VIDEO, 0xE0) + packet(AUDIO, 0xC0),
			{VIDEO, OTHER_AUDIO, 1}},
		{"stream id is the last byte", withField.substr(0, 24), {VIDEO, -1, -1}},
		{"stream id one past the end", withField.substr(0, 23), {-1, -1, -1}},
	};
	for (const auto& [what, bytes, found] : cases)
		EXPECT_EQ(scan(bytes), found) << what;
}

TEST(TsPidScan, FindsPidsInALaterPieceAndKeepsTheBufferInOrder)
{
	ts::Builder b;
	for (int i = 0; i < PID_SCAN_CHUNK / int(ts::PACKET_SIZE) + 40; ++i)
		b.packet({VIDEO, false}, FULL_PAYLOAD);
	EXPECT_EQ(scan(b.bytes + packet(AUDIO, 0xBD) + packet(VIDEO, 0xE0)), (Found{VIDEO, AUDIO, 1}));

	std::mt19937 random(7);
	for (size_t size : {size_t(1), size_t(PID_SCAN_CHUNK), size_t(3 * PID_SCAN_CHUNK + 555)})
	{
		std::string bytes(size, '\0');
		for (char& byte : bytes)
			byte = static_cast<char>(random());
		eIOBuffer buffer(1000); // small chunks: the rotation crosses many of them
		buffer.write(bytes.data(), static_cast<int>(size));
		int video, audio, type;
		find_avpids_stream(&buffer, &video, &audio, &type);
		std::string after(size, '\0');
		ASSERT_EQ(buffer.read(after.data(), static_cast<int>(size)), static_cast<int>(size));
		EXPECT_TRUE(after == bytes) << size;
		EXPECT_EQ(buffer.size(), 0);
	}
}
