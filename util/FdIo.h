#ifndef OXLE_UTIL_FDIO_H
#define OXLE_UTIL_FDIO_H

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <string>

#include "MonotonicMs.h"

namespace fdio
{
// Waits until fd is ready for events or timeoutMs pass (-1: no limit). True when ready.
inline bool waitReady(int fd, short events, int timeoutMs)
{
	pollfd entry{fd, events, 0};
	for (;;)
	{
		const int ready = ::poll(&entry, 1, timeoutMs);
		if (ready > 0)
			return true;
		if (ready == 0 || errno != EINTR)
			return false;
	}
}

// Writes all of data to fd, a socket (with MSG_NOSIGNAL, so that a peer that went away
// is an error, not a signal) or anything else. A descriptor in non-blocking mode is
// waited on, for at most timeoutMs in all (-1: no limit). Returns how many bytes went:
// length when all did; fewer when the peer went away, an error occurred or the time
// ran out.
inline size_t writeAll(int fd, const void* data, size_t length, int timeoutMs = -1)
{
	const char* bytes = static_cast<const char*>(data);
	const long long deadline = timeoutMs < 0 ? -1 : monotonicMs() + timeoutMs;
	bool socket = true;
	size_t done = 0;
	while (done < length)
	{
		ssize_t sent = socket ? ::send(fd, bytes + done, length - done, MSG_NOSIGNAL) : -1;
		if (socket && sent < 0 && errno == ENOTSOCK)
			socket = false;
		if (!socket)
			sent = ::write(fd, bytes + done, length - done);
		if (sent > 0)
		{
			done += static_cast<size_t>(sent);
			continue;
		}
		if (sent < 0 && errno == EINTR)
			continue;
		if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
		{
			const long long left = deadline < 0 ? -1 : deadline - monotonicMs();
			if (deadline >= 0 && left <= 0)
				break;
			if (!waitReady(fd, POLLOUT, static_cast<int>(left)))
				break;
			continue;
		}
		break;
	}
	return done;
}

inline bool writeAll(int fd, const std::string& data, int timeoutMs = -1)
{
	return writeAll(fd, data.data(), data.size(), timeoutMs) == data.size();
}
} // namespace fdio

#endif
