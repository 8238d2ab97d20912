#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "TsFactory.h"
#include "TsPidScan.h"
#include "eIOBuffer.h"

namespace
{
using TsFactory::continuation;
using TsFactory::NO_ADAPTATION;
using TsFactory::packet;

const int VIDEO = 0x100;
const int AUDIO = 0x101;
const int OTHER_AUDIO = 0x1FF;

struct Found
{
	int video, audio, type;
};

Found scanBuffer(const std::string& bytes, int allocation = 4096)
{
	eIOBuffer buffer(allocation);
	buffer.write(bytes.data(), static_cast<int>(bytes.size()));
	Found found{0, 0, 0};
	find_avpids_stream(&buffer, &found.video, &found.audio, &found.type);
	return found;
}

std::string drain(eIOBuffer& buffer)
{
	std::string bytes(static_cast<size_t>(buffer.size()), '\0');
	buffer.read(bytes.data(), static_cast<int>(bytes.size()));
	return bytes;
}
} // namespace

TEST(TsPidScan, PidIsThirteenBitsFromBytesOneAndTwo)
{
	const unsigned char header[][3] = {{0x47, 0x41, 0x00}, {0x47, 0xFF, 0xFF}, {0x47, 0x40, 0x11}, {0x47, 0x1E, 0xA5}};
	const int expected[] = {0x100, 0x1FFF, 0x011, 0x1EA5};
	for (size_t i = 0; i < 4; ++i)
		EXPECT_EQ(get_pid_stream(header[i] + 1), expected[i]) << i;
}

TEST(TsPidScan, FindsPidsByStreamId)
{
	struct Case
	{
		const char* what;
		std::string bytes;
		Found expected;
	};
	const std::string garbage("\x00\x12\x34\x56\x00", 5);
	const std::vector<Case> cases = {
		{"video and MPEG audio", packet(VIDEO, 0xE0) + packet(AUDIO, 0xC0), {VIDEO, AUDIO, 0}},
		{"AC-3 in private stream 1", packet(VIDEO, 0xE0) + packet(AUDIO, 0xBD), {VIDEO, AUDIO, 1}},
		{"audio only", packet(AUDIO, 0xC0) + continuation(AUDIO) + packet(AUDIO, 0xC0), {-1, AUDIO, 0}},
		{"last ids of the ranges", packet(VIDEO, 0xEF) + packet(AUDIO, 0xDF), {VIDEO, AUDIO, 0}},
		{"ids just outside the ranges", packet(VIDEO, 0xF0) + packet(AUDIO, 0xBF) + packet(OTHER_AUDIO, 0xBE),
			{-1, -1, -1}},
		{"adaptation field before the PES start", packet(VIDEO, 0xE0, 7) + packet(AUDIO, 0xC0, 0), {VIDEO, AUDIO, 0}},
		{"continuation packets are skipped", continuation(VIDEO) + continuation(AUDIO), {-1, -1, -1}},
		{"resynchronises after garbage", garbage + packet(VIDEO, 0xE0) + packet(AUDIO, 0xBD), {VIDEO, AUDIO, 1}},
		{"later finds overwrite until both are known",
			packet(AUDIO, 0xC0) + packet(OTHER_AUDIO, 0xBD) + packet(VIDEO, 0xE0) + packet(AUDIO, 0xC0),
			{VIDEO, OTHER_AUDIO, 1}},
		{"fewer than eight bytes", packet(VIDEO, 0xE0).substr(0, 7), {-1, -1, -1}},
		{"empty", std::string(), {-1, -1, -1}},
	};
	for (const Case& c : cases)
	{
		Found found = scanBuffer(c.bytes);
		EXPECT_EQ(found.video, c.expected.video) << c.what;
		EXPECT_EQ(found.audio, c.expected.audio) << c.what;
		EXPECT_EQ(found.type, c.expected.type) << c.what;
	}
}

TEST(TsPidScan, AdaptationFieldIsSkippedNotReadAsStreamId)
{
	// Without the adaptation field taken into account, offset 7 holds 0xE0 here.
	std::string p = packet(AUDIO, 0xC0, 10);
	p[7] = static_cast<char>(0xE0);
	Found found = scanBuffer(p);
	EXPECT_EQ(found.video, -1);
	EXPECT_EQ(found.audio, AUDIO);
}

TEST(TsPidScan, StreamIdBeyondTheDataIsNotExamined)
{
	// Adaptation field of 15 bytes: the stream id sits at offset 23.
	std::string p = packet(VIDEO, 0xE0, 15);
	ASSERT_EQ(static_cast<unsigned char>(p[23]), 0xE0);
	EXPECT_EQ(scanBuffer(p.substr(0, 23)).video, -1);
	EXPECT_EQ(scanBuffer(p.substr(0, 24)).video, VIDEO);
}

TEST(TsPidScan, FindsPidsInALaterScanPiece)
{
	// The PES starts come only after the first piece of the scan.
	std::string bytes;
	const int leading = PID_SCAN_CHUNK / TsFactory::PACKET + 40;
	for (int i = 0; i < leading; ++i)
		bytes += continuation(VIDEO, i);
	bytes += packet(AUDIO, 0xBD) + packet(VIDEO, 0xE0);
	Found found = scanBuffer(bytes);
	EXPECT_EQ(found.video, VIDEO);
	EXPECT_EQ(found.audio, AUDIO);
	EXPECT_EQ(found.type, 1);
}

TEST(TsPidScan, BufferKeepsItsBytesInOrder)
{
	std::mt19937 random(7);
	const size_t sizes[] = {1, 187, static_cast<size_t>(PID_SCAN_CHUNK), static_cast<size_t>(PID_SCAN_CHUNK) + 1,
		3 * static_cast<size_t>(PID_SCAN_CHUNK) + 555};
	for (size_t size : sizes)
	{
		std::string bytes(size, '\0');
		for (char& b : bytes)
			b = static_cast<char>(random());
		// A small allocation unit, so the rotation crosses many chunks of the buffer.
		eIOBuffer buffer(1000);
		buffer.write(bytes.data(), static_cast<int>(bytes.size()));
		int v, a, t;
		find_avpids_stream(&buffer, &v, &a, &t);
		EXPECT_EQ(drain(buffer), bytes) << size;
	}
}

TEST(TsPidScan, FindsPidsOfAGeneratedProgramme)
{
	Found found = scanBuffer(TsFactory::program(2000, 0x44, 0x45, 0xC0));
	EXPECT_EQ(found.video, 0x44);
	EXPECT_EQ(found.audio, 0x45);
	EXPECT_EQ(found.type, 0);
}
