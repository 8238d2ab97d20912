#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "eIOBuffer.h"

// Drained chunks come back as the tail instead of new memory, and a clear() keeps room
// already handed out.
TEST(eIOBuffer, OperationsKeepOrderAndSizeAcrossWrapAndClear)
{
	enum Op
	{
		Write,
		Read,
		Peek,
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
		{"peek leaves the bytes", Peek, 6, 6, "ABCDEF", 6},
		{"front stops at the chunk end", Front, 8, 4, "ABCD", 6, Remembered},
		{"front of fewer than the chunk has", Front, 2, 2, "AB", 6, Remembered},
		{"skip drains the first chunk", Skip, 4, 4, "", 2},
		{"write wraps into the drained chunk", Write, 6, 0, "", 8},
		{"read across two chunks", Read, 4, 4, "EFGH", 4},
		{"the drained chunk came back", Front, 8, 4, "IJKL", 4, Remembered},
		{"room after a full chunk", Reserve, 4, 4, "", 4},
		{"commit the whole room", Commit, 4, 0, "", 8},
		{"read all in order", Read, 16, 8, "IJKLMNOP", 0},
		{"read when empty", Read, 4, 0, "", 0},
		{"skip when empty", Skip, 4, 0, "", 0},
		{"negative peek", Peek, -1, 0, "", 0},
		{"front of an empty buffer", Front, 4, 0, "", 0},
		{"room of nothing", Reserve, 0, 0, "", 0},
		{"data before the room", Write, 5, 0, "", 5},
		{"negative read", Read, -3, 0, "", 5},
		{"room behind the data", Reserve, 3, 3, "", 5, Remember},
		{"clear while the room is out", Clear, 0, 0, "", 0},
		{"commit after the clear keeps its bytes", Commit, 2, 0, "", 2},
		{"which are all there is", Front, 4, 2, "VW", 2, Remembered},
		{"write after them", Write, 5, 0, "", 7},
		{"and out in order", Read, 16, 7, "VWXYZAB", 0},
		{"data to clear", Write, 3, 0, "", 3},
		{"clear", Clear, 0, 0, "", 0},
		{"writes after a clear start afresh", Write, 6, 0, "", 6},
		{"and read back", Read, 4, 4, "FGHI", 2},
		{"skip more than there is", Skip, 100, 2, "", 0},
	};
	const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
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
		case Peek:
		{
			char out[32] = {};
			result = s.op == Read ? buffer.read(out, s.len) : buffer.peek(out, s.len);
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
		EXPECT_EQ(bool(buffer.empty()), s.sizeAfter == 0);
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
