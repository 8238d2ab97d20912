#ifndef OXLE_HOST_ETHREAD_H
#define OXLE_HOST_ETHREAD_H

#include <atomic>

#include <pthread.h>

// A thread object: run() starts thread() on a new thread.
class eThread
{
public:
	eThread();
	virtual ~eThread();
	eThread(const eThread&) = delete;
	eThread& operator=(const eThread&) = delete;

	int run(int prio = 0);
	virtual void thread() = 0;
	virtual void thread_finished() {}
	bool thread_running() const { return alive; }
	// Waits for the thread to end (cancelling it first when asked).
	void kill(bool sendcancel = false);

private:
	static void* wrapper(void* self);
	pthread_t the_thread{};
	// Cleared by the thread itself when thread() returns; read from any thread.
	std::atomic<bool> alive{false};
	// A started thread not yet joined (kill() joins it); owner's thread only.
	bool joinable = false;
};

#endif
