#ifndef OXLE_BOX_WATCHDOG_H
#define OXLE_BOX_WATCHDOG_H

#include <condition_variable>
#include <mutex>
#include <thread>

// Ends a run that hangs: when the time is up it journals "quit" with the time-out code
// and leaves the process at once. A plugin stuck in a blocking call cannot be unwound,
// so there is no attempt at an orderly shutdown.
class Watchdog
{
public:
	Watchdog() = default;
	~Watchdog();
	Watchdog(const Watchdog&) = delete;
	Watchdog& operator=(const Watchdog&) = delete;

	void arm(double seconds);
	// Called when the run ends in time.
	void disarm();

	static constexpr int timeoutExitCode = 124;

private:
	void watch(double seconds);

	std::thread thread;
	std::mutex lock; // guards disarmed
	std::condition_variable wake;
	bool disarmed = false;
};

#endif
