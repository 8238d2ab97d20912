#ifndef OXLE_UTIL_UNIQUEFD_H
#define OXLE_UTIL_UNIQUEFD_H

#include <unistd.h>

#include <utility>

// Sole owner of a file descriptor: closes it when it goes, so that no early return
// leaks one. Linux releases the descriptor even when close fails, so close is never
// retried.
class UniqueFd
{
public:
	UniqueFd() = default;
	explicit UniqueFd(int owned) : fd(owned) {}
	~UniqueFd() { reset(); }

	UniqueFd(UniqueFd&& other) noexcept : fd(other.release()) {}
	UniqueFd& operator=(UniqueFd&& other) noexcept
	{
		if (this != &other)
			reset(other.release());
		return *this;
	}
	UniqueFd(const UniqueFd&) = delete;
	UniqueFd& operator=(const UniqueFd&) = delete;

	int get() const { return fd; }
	bool valid() const { return fd >= 0; }
	explicit operator bool() const { return valid(); }

	// Hands the descriptor over; this object owns nothing afterwards.
	int release() { return std::exchange(fd, -1); }
	// Closes what this object owns and takes next.
	void reset(int next = -1)
	{
		const int old = std::exchange(fd, next);
		if (old >= 0)
			::close(old);
	}

private:
	int fd = -1;
};

#endif
