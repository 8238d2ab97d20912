#ifndef OXLE_HOST_EIOBUFFER_H
#define OXLE_HOST_EIOBUFFER_H

#include <cstddef>
#include <list>

// A byte FIFO kept in chunks of allocationSize bytes.
//
//   [chunk 0: ptr ... end][chunk 1 ......][chunk n: ... len | room]   spare chunks
//          ^ read position                   write position ^
//
// Bytes leave in the order they came. Drained chunks are kept for reuse, so a buffer
// that has once held its peak allocates nothing more; clear() gives all memory back.
// Not thread-safe: the owner guards it.
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

	// Without a copy of its own, for one reader and one writer that fill and drain the
	// buffer outside the owner's lock (a socket read straight into it, a device write
	// straight out of it):
	// The bytes at the front, at most len of them in one piece; their count is stored in
	// len. Valid until the next read, skip or clear; give them up with skip().
	const char* front(int& len) const;
	// Room for at most len bytes at the end, in one piece; its size is stored in len.
	// Nothing in the buffer changes but through commitWrite(n), which appends the first n
	// bytes written there. A clear() meanwhile drops what was buffered but keeps the room
	// that was handed out, so that the writer never writes into freed memory.
	char* reserveWrite(int& len);
	void commitWrite(int len);

private:
	struct Chunk
	{
		char* data = nullptr;
		size_t ptr = 0, len = 0;
	};
	// The tail chunk with room, taken from the spares or made when there is none.
	Chunk& tailWithRoom();
	// A front chunk whose every byte was read goes to the spares.
	void recycleFront();
	char* allocateChunk() const;
	void freeChunk(Chunk& chunk) const;

	std::list<Chunk> chunks;
	std::list<Chunk> spares;
	size_t total = 0;
	size_t capacity;
	// The tail chunk holds room handed out by reserveWrite that is not committed yet.
	bool reserved = false;
	int allocationSize;
};

#endif
