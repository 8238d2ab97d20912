#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "eIOBuffer.h"

namespace
{
std::string pattern(size_t n, size_t offset = 0)
{
	std::string s;
	for (size_t i = 0; i < n; ++i)
		s += char('A' + (i + offset) % 26);
	return s;
}
} // namespace

// Bytes must leave in order whatever the chunking: write and read sizes smaller than,
// equal to and larger than the allocation unit.
TEST(eIOBuffer, KeepsByteOrderAcrossAllocationUnits)
{
	const int unit = 7;
	const std::vector<int> sizes = {1, 3, 6, 7, 8, 13, 14, 15, 50};
	for (int writeSize : sizes)
	{
		for (int readSize : sizes)
		{
			eIOBuffer buffer(unit);
			const std::string data = pattern(200);
			std::string out;
			size_t written = 0;
			while (written < data.size() || !buffer.empty())
			{
				if (written < data.size())
				{
					const int n = int(std::min<size_t>(size_t(writeSize), data.size() - written));
					buffer.write(data.data() + written, n);
					written += size_t(n);
				}
				char chunk[64];
				const int got = buffer.read(chunk, readSize);
				out.append(chunk, size_t(got));
				ASSERT_EQ(buffer.size(), int(written - out.size()));
			}
			EXPECT_EQ(out, data) << "write " << writeSize << ", read " << readSize;
		}
	}
}

TEST(eIOBuffer, PartialReadPeekSkipClear)
{
	eIOBuffer buffer(4);
	const std::string data = pattern(10);
	buffer.write(data.data(), int(data.size()));

	char out[32] = {};
	EXPECT_EQ(buffer.peek(out, 6), 6);
	EXPECT_EQ(std::string(out, 6), data.substr(0, 6));
	EXPECT_EQ(buffer.size(), 10) << "peek must not remove";

	EXPECT_EQ(buffer.skip(5), 5);
	EXPECT_EQ(buffer.read(out, 3), 3);
	EXPECT_EQ(std::string(out, 3), data.substr(5, 3));

	// Asking for more than is there gives what is there.
	EXPECT_EQ(buffer.read(out, 32), 2);
	EXPECT_EQ(std::string(out, 2), data.substr(8, 2));
	EXPECT_TRUE(buffer.empty());
	EXPECT_EQ(buffer.read(out, 4), 0);
	EXPECT_EQ(buffer.skip(4), 0);
	EXPECT_EQ(buffer.peek(out, -1), 0);

	buffer.write(data.data(), 9);
	EXPECT_EQ(buffer.skip(100), 9);
	buffer.write(data.data(), 9);
	buffer.clear();
	EXPECT_EQ(buffer.size(), 0);
	buffer.write("xy", 2);
	EXPECT_EQ(buffer.read(out, 8), 2);
	EXPECT_EQ(std::string(out, 2), "xy");
}

TEST(eIOBuffer, UnusableAllocationSizeStillWorks)
{
	eIOBuffer buffer(0);
	buffer.write("abc", 3);
	char out[3];
	EXPECT_EQ(buffer.read(out, 3), 3);
	EXPECT_EQ(std::string(out, 3), "abc");
}
