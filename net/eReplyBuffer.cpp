#include "eReplyBuffer.h"

#include <algorithm>
#include <cstring>
#include <utility>

char* eReplyBuffer::space(std::size_t& length)
{
	const std::size_t allowed = total <= limit ? limit + 1 - total : 0;
	if (bytes.size() - kept < BLOCK_BYTES && bytes.size() < kept + allowed)
		bytes.resize(std::min(std::max(kept + BLOCK_BYTES, 2 * bytes.size()), kept + allowed));
	length = std::min(bytes.size() - kept, allowed);
	return &bytes[kept];
}

bool eReplyBuffer::commit(std::size_t n)
{
	total += n;
	const char* start = &bytes[kept];
	const void* nul = std::memchr(start, '\0', n);
	kept += nul ? std::size_t(static_cast<const char*>(nul) - start) : n;
	return total <= limit;
}

eString eReplyBuffer::take()
{
	bytes.resize(kept);
	eString text = std::move(bytes);
	bytes.clear();
	kept = 0;
	total = 0;
	return text;
}
