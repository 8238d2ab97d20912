#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "eIOBuffer.h"

namespace
{
const int unit = 7;

std::string letters(size_t n, size_t offset = 0)
{
	std::string s;
	for (size_t i = 0; i < n; ++i)
		s += char('A' + (i + offset) % 26);
	return s;
}
} // namespace

// Write and read sizes below, at and above the allocation unit and its multiples.
TEST(eIOBuffer, KeepsOrderAndSizeAcrossChunkBoundaries)
{
	const std::vector<int> sizes = {1, 6, 7, 8, 13, 14, 15, 50};
	const std::string data = letters(200);
	for (int writeSize : sizes)
	{
		for (int readSize : sizes)
		{
			SCOPED_TRACE("write " + std::to_string(writeSize) + ", read " + std::to_string(readSize));
			eIOBuffer buffer(unit);
			std::string out;
			size_t written = 0;
			while (written < data.size() || !buffer.empty())
			{
				const int n = int(std::min(size_t(writeSize), data.size() - written));
				buffer.write(data.data() + written, n);
				written += size_t(n);
				char chunk[64];
				out.append(chunk, size_t(buffer.read(chunk, readSize)));
				ASSERT_EQ(buffer.size(), int(written - out.size()));
			}
			EXPECT_EQ(out, data);
		}
	}
}

TEST(eIOBuffer, OperationsOnTenBytes)
{
	enum Op
	{
		Write,
		Read,
		Peek,
		Skip,
		Clear
	};
	struct Step
	{
		const char* name;
		Op op;
		int len;
		int result;      // bytes read, peeked or skipped
		std::string got; // what read or peek returned
		int sizeAfter;
	};
	// Starts from "ABCDEFGHIJ" in a buffer of 4-byte chunks.
	const Step steps[] = {
		{"peek leaves the bytes", Peek, 6, 6, "ABCDEF", 10},
		{"skip across a chunk end", Skip, 5, 5, "", 5},
		{"read from inside a chunk", Read, 3, 3, "FGH", 2},
		{"read more than there is", Read, 32, 2, "IJ", 0},
		{"read when empty", Read, 4, 0, "", 0},
		{"skip when empty", Skip, 4, 0, "", 0},
		{"negative peek", Peek, -1, 0, "", 0},
		{"write after emptying", Write, 9, 0, "", 9},
		{"negative read", Read, -3, 0, "", 9},
		{"skip more than there is", Skip, 100, 9, "", 0},
		{"write again", Write, 9, 0, "", 9},
		{"clear", Clear, 0, 0, "", 0},
		{"writes after a clear start afresh", Write, 2, 0, "", 2},
		{"read them", Read, 8, 2, "AB", 0},
	};
	const std::string data = letters(10);
	eIOBuffer buffer(4);
	buffer.write(data.data(), int(data.size()));
	for (const Step& s : steps)
	{
		SCOPED_TRACE(s.name);
		char out[32] = {};
		int result = 0;
		switch (s.op)
		{
		case Write:
			buffer.write(data.data(), s.len);
			break;
		case Read:
			result = buffer.read(out, s.len);
			break;
		case Peek:
			result = buffer.peek(out, s.len);
			break;
		case Skip:
			result = buffer.skip(s.len);
			break;
		case Clear:
			buffer.clear();
			break;
		}
		EXPECT_EQ(result, s.result);
		if (s.op == Read || s.op == Peek)
		{
			EXPECT_EQ(std::string(out, size_t(std::max(result, 0))), s.got);
		}
		EXPECT_EQ(buffer.size(), s.sizeAfter);
		EXPECT_EQ(bool(buffer.empty()), s.sizeAfter == 0);
	}
}
