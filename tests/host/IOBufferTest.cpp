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

// Drained chunks come back as the tail instead of new memory, the zero-copy front and
// room see the same bytes in the same order, and a clear() keeps room already handed out.
TEST(eIOBuffer, ReuseKeepsOrderAndSizeAcrossWrapAndClear)
{
	enum Op
	{
		Write,
		Read,
		Skip,
		Clear,
		Front,
		Reserve, // fills the room with the next letters, which only Commit takes
		Commit
	};
	enum Where
	{
		Anywhere,
		Remember,
		Remembered
	};
	struct Step
	{
		const char* name;
		Op op;
		int len;
		int result;
		std::string got; // what read or front returned
		int sizeAfter;
		Where where = Anywhere; // the pointer front or reserve returned
	};
	// Chunks of 4 bytes; letters are written in alphabetical order throughout.
	const Step steps[] = {
		{"room is what one chunk has left", Reserve, 8, 4, "", 0, Remember},
		{"commit takes fewer than reserved", Commit, 3, 0, "", 3},
		{"a commit without room is nothing", Commit, 2, 0, "", 3},
		{"write across the chunk end", Write, 3, 0, "", 6},
		{"front stops at the chunk end", Front, 8, 4, "ABCD", 6, Remembered},
		{"front of fewer than the chunk has", Front, 2, 2, "AB", 6, Remembered},
		{"skip drains the first chunk", Skip, 4, 4, "", 2},
		{"write wraps into the drained chunk", Write, 6, 0, "", 8},
		{"read across two chunks", Read, 4, 4, "EFGH", 4},
		{"the drained chunk came back", Front, 8, 4, "IJKL", 4, Remembered},
		{"room after a full chunk", Reserve, 4, 4, "", 4},
		{"commit the whole room", Commit, 4, 0, "", 8},
		{"read all in order", Read, 16, 8, "IJKLMNOP", 0},
		{"front of an empty buffer", Front, 4, 0, "", 0},
		{"room of nothing", Reserve, 0, 0, "", 0},
		{"data before the room", Write, 5, 0, "", 5},
		{"room behind the data", Reserve, 3, 3, "", 5, Remember},
		{"clear while the room is out", Clear, 0, 0, "", 0},
		{"commit after the clear keeps its bytes", Commit, 2, 0, "", 2},
		{"which are all there is", Front, 4, 2, "VW", 2, Remembered},
		{"write after them", Write, 5, 0, "", 7},
		{"and out in order", Read, 16, 7, "VWXYZAB", 0},
		{"data to clear", Write, 3, 0, "", 3},
		{"clear", Clear, 0, 0, "", 0},
		{"writes after a clear start afresh", Write, 6, 0, "", 6},
		{"and read back", Read, 6, 6, "FGHIJK", 0},
	};
	const std::string alphabet = letters(26);
	size_t next = 0; // the next letter to write
	auto take = [&](size_t n) {
		std::string s;
		for (size_t i = 0; i < n; ++i)
			s += alphabet[(next + i) % alphabet.size()];
		return s;
	};
	eIOBuffer buffer(4);
	const char* remembered = nullptr;
	int room = -1; // room handed out and not committed
	for (const Step& s : steps)
	{
		SCOPED_TRACE(s.name);
		int result = 0;
		std::string got;
		const char* pointer = nullptr;
		switch (s.op)
		{
		case Write:
		{
			const std::string in = take(size_t(s.len));
			buffer.write(in.data(), s.len);
			next += in.size();
			break;
		}
		case Read:
		{
			char out[32] = {};
			result = buffer.read(out, s.len);
			got.assign(out, size_t(std::max(result, 0)));
			break;
		}
		case Skip:
			result = buffer.skip(s.len);
			break;
		case Clear:
			buffer.clear();
			break;
		case Front:
			result = s.len;
			pointer = buffer.front(result);
			got.assign(pointer ? pointer : "", size_t(result));
			break;
		case Reserve:
		{
			result = s.len;
			char* at = buffer.reserveWrite(result);
			const std::string in = take(size_t(result));
			std::copy(in.begin(), in.end(), at);
			pointer = at;
			room = result;
			break;
		}
		case Commit:
			buffer.commitWrite(s.len);
			next += size_t(std::max(0, std::min(s.len, room)));
			room = -1;
			break;
		}
		EXPECT_EQ(result, s.result);
		EXPECT_EQ(got, s.got);
		EXPECT_EQ(buffer.size(), s.sizeAfter);
		if (s.where == Remember)
		{
			remembered = pointer;
		}
		else if (s.where == Remembered)
		{
			EXPECT_EQ(pointer, remembered);
		}
	}
}
