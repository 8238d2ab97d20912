#ifndef OXLE_NET_EREPLYBUFFER_H
#define OXLE_NET_EREPLYBUFFER_H

#include <cstddef>

#include "eString.h"

// One command's reply as it arrives, received straight into a single buffer that grows
// by doubling: a listing of megabytes costs a few dozen receives and reallocations, not
// one per kilobyte. The owner's thread only.
class eReplyBuffer
{
public:
	// Smallest room offered for a receive.
	static constexpr std::size_t BLOCK_BYTES = 64u * 1024u;

	explicit eReplyBuffer(std::size_t limitBytes) : limit(limitBytes) {}

	// Where the next receive writes and, in length, how much it may write: never more
	// than one byte beyond the limit, so that an oversized reply shows as such.
	char* space(std::size_t& length);
	// The receive wrote n bytes into the space. The server's replies are text: what
	// follows a NUL in the same receive is dropped. False once more than the limit has
	// arrived.
	bool commit(std::size_t n);
	std::size_t received() const { return total; }
	// The text so far; the buffer is empty afterwards.
	eString take();

private:
	// The kept text first; past it, room for the next receive.
	eString bytes;
	std::size_t kept = 0;
	std::size_t total = 0;
	std::size_t limit;
};

#endif
