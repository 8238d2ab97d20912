#ifndef OXLE_FUZZ_FUZZCHECK_H
#define OXLE_FUZZ_FUZZCHECK_H

#include <cstdio>
#include <cstdlib>

// A property that does not hold is a fault the fuzzer found: name it and abort, so that
// libFuzzer keeps the input that shows it.
inline void fuzzCheck(bool holds, const char* property)
{
	if (holds)
		return;
	std::fprintf(stderr, "property failed: %s\n", property);
	std::abort();
}

#endif
