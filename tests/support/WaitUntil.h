#ifndef OXLE_TESTS_SUPPORT_WAITUNTIL_H
#define OXLE_TESTS_SUPPORT_WAITUNTIL_H

#include <chrono>
#include <functional>
#include <thread>

// Polls `done` until it holds or timeoutMs pass; whether it held. For what another thread or
// process does a moment after the call that caused it (a signal, an exit, a published count).
inline bool waitUntil(const std::function<bool()>& done, int timeoutMs = 20000)
{
	const std::chrono::milliseconds pollStep(5);
	const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
	while (!done())
	{
		if (std::chrono::steady_clock::now() > deadline)
			return false;
		std::this_thread::sleep_for(pollStep);
	}
	return true;
}

#endif
