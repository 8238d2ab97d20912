#include "MonotonicMs.h"
#include "eDebug.h"
#include "eMainloopImpl.h"

eTimer::eTimer(eMainloop* loop) : context(loop)
{
}

eTimer::~eTimer()
{
	stop();
}

void eTimer::start(long msec, bool once)
{
	if (!context)
	{
		eWarning("eTimer::start: the timer has no main loop");
		return;
	}
	eMainloop::Impl* loop = context->impl();
	if (active)
		loop->removeTimer(this);
	if (msec < 0)
		msec = 0;
	singleShot = once;
	interval = msec;
	due = monotonicMs() + msec;
	sequence = loop->nextSequence++;
	active = true;
	loop->addTimer(this);
}

void eTimer::stop()
{
	if (!active)
		return;
	active = false;
	if (context)
		context->impl()->removeTimer(this);
}

void eTimer::changeInterval(long msec)
{
	if (msec < 0)
		msec = 0;
	// A running timer keeps its start and counts the new interval from there.
	if (active)
		due += msec - interval;
	interval = msec;
}
