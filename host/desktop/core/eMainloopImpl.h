#ifndef OXLE_DESKTOP_EMAINLOOPIMPL_H
#define OXLE_DESKTOP_EMAINLOOPIMPL_H

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "eMainloop.h"

// The inside of an eMainloop. Timers and loop levels belong to the loop's thread; only
// the work queue and the quit/wake flags are touched by other threads.
struct eMainloop::Impl
{
	// True on the thread that runs (or last ran) this loop, and before any thread ran it.
	bool onLoopThread() const;

	void addTimer(eTimer* timer);
	void removeTimer(eTimer* timer);
	eTimer* nextDue(long long limit, long long sequenceLimit) const;
	bool earliestDue(long long& due) const;
	void runDueTimers();
	void runPosted();
	void wake();
	void detachTimers();

	// Loop thread only.
	std::vector<eTimer*> timers;
	long long nextSequence = 1;
	// One entry per running level, innermost last: true once exit_loop ended it.
	std::vector<bool> exitRequested;
	std::vector<bool> isExecLevel;

	std::atomic<bool> quitting{false};
	std::atomic<int> code{0};
	std::atomic<std::thread::id> owner{};

	std::mutex queueLock; // guards queue and woken
	std::condition_variable queueChanged;
	std::deque<std::function<void()>> queue;
	bool woken = false;
};

#endif
