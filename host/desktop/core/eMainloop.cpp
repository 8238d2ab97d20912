#include "eMainloopImpl.h"

#include <chrono>
#include <climits>

#include "MonotonicMs.h"
#include "eDebug.h"

namespace
{
eMainloop appLoop;

const int waitForever = -1;
} // namespace

eMainloop* eApp = &appLoop;

bool eMainloop::Impl::onLoopThread() const
{
	const std::thread::id id = owner.load();
	return id == std::thread::id() || id == std::this_thread::get_id();
}

void eMainloop::Impl::addTimer(eTimer* timer)
{
	timers.push_back(timer);
}

void eMainloop::Impl::removeTimer(eTimer* timer)
{
	for (auto it = timers.begin(); it != timers.end(); ++it)
	{
		if (*it == timer)
		{
			timers.erase(it);
			return;
		}
	}
}

eTimer* eMainloop::Impl::nextDue(long long limit, long long sequenceLimit) const
{
	eTimer* best = nullptr;
	for (eTimer* t : timers)
	{
		if (t->due > limit || t->sequence >= sequenceLimit)
			continue;
		if (!best || t->due < best->due || (t->due == best->due && t->sequence < best->sequence))
			best = t;
	}
	return best;
}

bool eMainloop::Impl::earliestDue(long long& due) const
{
	if (timers.empty())
		return false;
	due = LLONG_MAX;
	for (const eTimer* t : timers)
		if (t->due < due)
			due = t->due;
	return true;
}

void eMainloop::Impl::runDueTimers()
{
	const long long turn = monotonicMs();
	// Timers (re)started from here on wait for the next turn, so a zero interval cannot
	// keep this one from ending.
	const long long sequenceLimit = nextSequence;
	// Every pass looks again: a slot may have stopped, restarted or deleted any timer.
	while (!quitting.load())
	{
		eTimer* t = nextDue(turn, sequenceLimit);
		if (!t)
			break;
		if (t->singleShot)
		{
			removeTimer(t);
			t->active = false;
		}
		else
		{
			long long next = t->due + t->interval;
			// A loop that was blocked for longer than an interval does not replay the
			// missed time-outs in a burst.
			if (next <= turn)
				next = turn + t->interval;
			t->due = next;
			t->sequence = nextSequence++;
		}
		// A copy shares the slot list and keeps it alive should the slot delete its timer.
		SigC::Signal0<void> timeout = t->timeout;
		timeout.emit();
	}
}

void eMainloop::Impl::runPosted()
{
	size_t count = 0;
	{
		std::lock_guard<std::mutex> guard(queueLock);
		count = queue.size();
	}
	// One at a time, so that work that opens a nested loop leaves the rest of the queue
	// to that loop instead of holding it back.
	for (size_t i = 0; i < count && !quitting.load(); ++i)
	{
		std::function<void()> fn;
		{
			std::lock_guard<std::mutex> guard(queueLock);
			if (queue.empty())
				return;
			fn = std::move(queue.front());
			queue.pop_front();
		}
		if (fn)
			fn();
	}
}

void eMainloop::Impl::detachTimers()
{
	// Timers may outlive their loop (static destruction); they learn that it is gone.
	for (eTimer* t : timers)
	{
		t->active = false;
		t->context = nullptr;
	}
	timers.clear();
}

void eMainloop::Impl::wake()
{
	{
		std::lock_guard<std::mutex> guard(queueLock);
		woken = true;
	}
	queueChanged.notify_all();
}

eMainloop::eMainloop() : d(new Impl)
{
}

eMainloop::~eMainloop()
{
	d->detachTimers();
	// Widgets destroyed after the application loop (static destruction) check eApp.
	if (eApp == this)
		eApp = nullptr;
}

int eMainloop::exec()
{
	d->exitRequested.push_back(false);
	d->isExecLevel.push_back(true);
	while (!d->quitting.load())
		processOneEvent(waitForever);
	d->exitRequested.pop_back();
	d->isExecLevel.pop_back();
	return d->code.load();
}

void eMainloop::quit(int code)
{
	d->code.store(code);
	d->quitting.store(true);
	d->wake();
}

void eMainloop::enter_loop()
{
	d->exitRequested.push_back(false);
	d->isExecLevel.push_back(false);
	const size_t level = d->exitRequested.size() - 1;
	while (!d->quitting.load() && !d->exitRequested[level])
		processOneEvent(waitForever);
	d->exitRequested.pop_back();
	d->isExecLevel.pop_back();
}

void eMainloop::exit_loop()
{
	if (d->exitRequested.empty() || d->isExecLevel.back())
	{
		eWarning("exit_loop without a nested loop to end");
		return;
	}
	d->exitRequested.back() = true;
}

int eMainloop::loopLevel() const
{
	return int(d->exitRequested.size());
}

bool eMainloop::quitRequested() const
{
	return d->quitting.load();
}

int eMainloop::exitCode() const
{
	return d->code.load();
}

void eMainloop::post(std::function<void()> fn)
{
	{
		std::lock_guard<std::mutex> guard(d->queueLock);
		d->queue.push_back(std::move(fn));
	}
	d->queueChanged.notify_all();
}

void eMainloop::processOneEvent(int maxWaitMs)
{
	d->owner.store(std::this_thread::get_id());
	const long long start = monotonicMs();
	long long deadline = maxWaitMs < 0 ? LLONG_MAX : start + maxWaitMs;
	long long due = 0;
	if (d->earliestDue(due) && due < deadline)
		deadline = due;
	{
		std::unique_lock<std::mutex> guard(d->queueLock);
		const auto ready = [this] { return !d->queue.empty() || d->woken || d->quitting.load(); };
		if (deadline == LLONG_MAX)
			d->queueChanged.wait(guard, ready);
		else if (deadline > start)
			// steady_clock is CLOCK_MONOTONIC on Linux, the timers' clock.
			d->queueChanged.wait_for(guard, std::chrono::milliseconds(deadline - start), ready);
		d->woken = false;
	}
	d->runDueTimers();
	d->runPosted();
}
