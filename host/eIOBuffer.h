#ifndef OXLE_HOST_EIOBUFFER_H
#define OXLE_HOST_EIOBUFFER_H

#include <cstddef>
#include <list>
#include <memory>

// A byte FIFO kept in chunks of allocationSize bytes.
//
//   [chunk 0: ptr ... end][chunk 1 ......][chunk n: ... used]
//          ^ read position         write position ^
//
// Bytes leave in the order they came. Not thread-safe: the owner guards it.
class eIOBuffer
{
public:
	explicit eIOBuffer(int allocationSize);
	~eIOBuffer();
	eIOBuffer(const eIOBuffer&) = delete;
	eIOBuffer& operator=(const eIOBuffer&) = delete;

	void clear();
	int size() const { return int(total); }
	int empty() const { return total == 0; }
	// Copies up to len bytes from the front without removing them.
	int peek(void* dest, int len) const;
	// Removes up to len bytes from the front into dest; returns how many.
	int read(void* dest, int len);
	// Drops up to len bytes from the front; returns how many.
	int skip(int len);
	void write(const void* source, int len);
	int getAllocationSize() const { return allocationSize; }

private:
	// Chunk memory is left uninitialised: every byte is written before it is read.
	struct Chunk
	{
		std::unique_ptr<char[]> data;
		size_t capacity = 0, ptr = 0, len = 0;
	};
	std::list<Chunk> chunks;
	size_t total = 0;
	int allocationSize;
};

#endif
