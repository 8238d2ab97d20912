#include "eIOBuffer.h"

#include <algorithm>
#include <cstring>

namespace
{
// A unit of zero or less would never hold a byte.
const int minimumAllocation = 1;
} // namespace

eIOBuffer::eIOBuffer(int unitSize) : allocationSize(std::max(unitSize, minimumAllocation))
{
}

eIOBuffer::~eIOBuffer()
{
}

void eIOBuffer::clear()
{
	chunks.clear();
	total = 0;
}

int eIOBuffer::peek(void* dest, int len) const
{
	if (len <= 0 || !dest)
		return 0;
	char* out = static_cast<char*>(dest);
	size_t wanted = size_t(len);
	size_t done = 0;
	for (const Chunk& c : chunks)
	{
		if (done == wanted)
			break;
		const size_t n = std::min(wanted - done, c.len - c.ptr);
		memcpy(out + done, c.data.get() + c.ptr, n);
		done += n;
	}
	return int(done);
}

int eIOBuffer::read(void* dest, int len)
{
	if (!dest)
		return 0;
	const int n = peek(dest, len);
	skip(n);
	return n;
}

int eIOBuffer::skip(int len)
{
	if (len <= 0)
		return 0;
	size_t wanted = size_t(len);
	size_t done = 0;
	while (done < wanted && !chunks.empty())
	{
		Chunk& c = chunks.front();
		const size_t n = std::min(wanted - done, c.len - c.ptr);
		c.ptr += n;
		done += n;
		if (c.ptr == c.len)
			chunks.pop_front();
	}
	total -= done;
	return int(done);
}

void eIOBuffer::write(const void* source, int len)
{
	if (len <= 0 || !source)
		return;
	const char* in = static_cast<const char*>(source);
	size_t left = size_t(len);
	while (left > 0)
	{
		if (chunks.empty() || chunks.back().len == chunks.back().capacity)
		{
			chunks.emplace_back();
			chunks.back().data.reset(new char[size_t(allocationSize)]);
			chunks.back().capacity = size_t(allocationSize);
		}
		Chunk& c = chunks.back();
		const size_t n = std::min(left, c.capacity - c.len);
		memcpy(c.data.get() + c.len, in, n);
		c.len += n;
		in += n;
		left -= n;
	}
	total += size_t(len);
}
