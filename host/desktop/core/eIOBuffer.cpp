#include "eIOBuffer.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace
{
// A unit of zero or less would never hold a byte.
const int minimumAllocation = 1;
} // namespace

eIOBuffer::eIOBuffer(int unitSize)
	: capacity(size_t(std::max(unitSize, minimumAllocation))), allocationSize(std::max(unitSize, minimumAllocation))
{
}

eIOBuffer::~eIOBuffer()
{
	reserved = false;
	clear();
}

// Chunks are mapped, not taken from the heap: a drained stream's megabytes then go back
// to the system at once, instead of staying in the malloc arena of whichever thread
// happened to allocate them.
char* eIOBuffer::allocateChunk() const
{
	void* memory = mmap(nullptr, capacity, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
	if (memory == MAP_FAILED)
		throw std::bad_alloc();
	return static_cast<char*>(memory);
}

void eIOBuffer::freeChunk(Chunk& chunk) const
{
	if (chunk.data)
		munmap(chunk.data, capacity);
	chunk.data = nullptr;
}

void eIOBuffer::clear()
{
	// Room handed out stays where the writer will put its bytes.
	const bool keepTail = reserved && !chunks.empty();
	std::list<Chunk> kept;
	if (keepTail)
	{
		kept.splice(kept.end(), chunks, std::prev(chunks.end()));
		kept.back().ptr = kept.back().len;
	}
	for (Chunk& c : chunks)
		freeChunk(c);
	chunks.clear();
	chunks.splice(chunks.end(), kept);
	for (Chunk& c : spares)
		freeChunk(c);
	spares.clear();
	total = 0;
}

void eIOBuffer::recycleFront()
{
	Chunk& c = chunks.front();
	if (c.ptr < capacity)
		return;
	c.ptr = c.len = 0;
	spares.splice(spares.end(), chunks, chunks.begin());
}

eIOBuffer::Chunk& eIOBuffer::tailWithRoom()
{
	if (chunks.empty() || chunks.back().len == capacity)
	{
		if (spares.empty())
		{
			Chunk fresh;
			fresh.data = allocateChunk();
			chunks.push_back(fresh);
		}
		else
			chunks.splice(chunks.end(), spares, spares.begin());
	}
	return chunks.back();
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
		memcpy(out + done, c.data + c.ptr, n);
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
	size_t wanted = std::min(size_t(len), total);
	size_t done = 0;
	while (done < wanted)
	{
		Chunk& c = chunks.front();
		const size_t n = std::min(wanted - done, c.len - c.ptr);
		// Only the tail can be short, and total counts no more than there is.
		if (n == 0)
			break;
		c.ptr += n;
		done += n;
		recycleFront();
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
		Chunk& c = tailWithRoom();
		const size_t n = std::min(left, capacity - c.len);
		memcpy(c.data + c.len, in, n);
		c.len += n;
		in += n;
		left -= n;
	}
	total += size_t(len);
}

const char* eIOBuffer::front(int& len) const
{
	if (len <= 0 || total == 0)
	{
		len = 0;
		return nullptr;
	}
	const Chunk& c = chunks.front();
	len = int(std::min(size_t(len), c.len - c.ptr));
	return c.data + c.ptr;
}

char* eIOBuffer::reserveWrite(int& len)
{
	if (len <= 0)
	{
		len = 0;
		return nullptr;
	}
	Chunk& c = tailWithRoom();
	len = int(std::min(size_t(len), capacity - c.len));
	reserved = true;
	return c.data + c.len;
}

void eIOBuffer::commitWrite(int len)
{
	if (!reserved)
		return;
	reserved = false;
	if (len <= 0 || chunks.empty())
		return;
	Chunk& c = chunks.back();
	const size_t n = std::min(size_t(len), capacity - c.len);
	c.len += n;
	total += n;
}
