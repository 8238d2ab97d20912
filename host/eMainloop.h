#ifndef OXLE_HOST_EMAINLOOP_H
#define OXLE_HOST_EMAINLOOP_H

#include <functional>
#include <memory>

#include "sigc.h"

class eTimer;

// An event loop: timers on a monotonic clock, nested loops, and a queue through which
// other threads hand work to the loop's thread.
class eMainloop
{
public:
	eMainloop();
	virtual ~eMainloop();
	eMainloop(const eMainloop&) = delete;
	eMainloop& operator=(const eMainloop&) = delete;

	// Runs until quit(); returns quit's code.
	int exec();
	// Ends exec() (all nesting levels) with code.
	void quit(int code = 0);
	// One nested level: runs until exit_loop() ends this level.
	void enter_loop();
	void exit_loop();
	int loopLevel() const;
	bool quitRequested() const;
	int exitCode() const;

	// Thread-safe: fn runs on the loop's thread at its next turn.
	void post(std::function<void()> fn);
	// Runs due timers and queued work once, waiting at most maxWaitMs for something to do.
	void processOneEvent(int maxWaitMs);

	struct Impl;
	Impl* impl() const { return d.get(); }

private:
	friend class eTimer;
	std::unique_ptr<Impl> d;
};

// The host application's GUI loop.
extern eMainloop* eApp;

class eTimer
{
public:
	explicit eTimer(eMainloop* context = eApp);
	~eTimer();
	eTimer(const eTimer&) = delete;
	eTimer& operator=(const eTimer&) = delete;

	void start(long msec, bool singleShot = false);
	void stop();
	void changeInterval(long msec);
	bool isActive() const { return active; }

	SigC::Signal0<void> timeout;

private:
	friend struct eMainloop::Impl;
	eMainloop* context;
	bool active = false;
	bool singleShot = false;
	long interval = 0;
	long long due = 0; // monotonic ms
	long long sequence = 0;
};

#endif
