#ifndef OXLE_UTIL_MONOTONICMS_H
#define OXLE_UTIL_MONOTONICMS_H

#include <time.h>

// Milliseconds on CLOCK_MONOTONIC: the clock of every deadline, which a change of the
// wall clock does not move.
inline long long monotonicMs()
{
	timespec now{};
	clock_gettime(CLOCK_MONOTONIC, &now);
	return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

#endif
