#include "eThread.h"

#include <cstring>

#include "eDebug.h"

eThread::eThread()
{
}

eThread::~eThread()
{
	// Waiting here is all that is safe: the derived part that thread() runs in is
	// already gone, so a thread still in it is the owner's fault.
	if (joinable)
		kill();
}

int eThread::run(int prio)
{
	// Thread priorities need privileges the desktop does not have; every thread runs at
	// the default one.
	(void)prio;
	if (joinable)
	{
		eWarning("eThread::run: the thread was started already");
		return -1;
	}
	alive = true;
	const int err = pthread_create(&the_thread, nullptr, wrapper, this);
	if (err != 0)
	{
		alive = false;
		eWarning("eThread::run: cannot create a thread: %s", strerror(err));
		return -1;
	}
	joinable = true;
	return 0;
}

namespace
{
void threadEnded(void* self)
{
	eThread* t = static_cast<eThread*>(self);
	t->thread_finished();
}
} // namespace

void* eThread::wrapper(void* self)
{
	eThread* t = static_cast<eThread*>(self);
	// The clean-up runs also when the thread is cancelled.
	pthread_cleanup_push(threadEnded, self);
	t->thread();
	pthread_cleanup_pop(1);
	t->alive = false;
	return nullptr;
}

void eThread::kill(bool sendcancel)
{
	if (!joinable)
		return;
	if (sendcancel)
		pthread_cancel(the_thread);
	pthread_join(the_thread, nullptr);
	joinable = false;
	alive = false;
}
