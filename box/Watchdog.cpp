#include "Watchdog.h"

#include <chrono>
#include <nlohmann/json.hpp>
#include <unistd.h>

#include "Journal.h"
#include "eDebug.h"

Watchdog::~Watchdog()
{
	disarm();
}

void Watchdog::arm(double seconds)
{
	if (thread.joinable())
		return;
	thread = std::thread(&Watchdog::watch, this, seconds);
}

void Watchdog::disarm()
{
	{
		std::lock_guard<std::mutex> guard(lock);
		disarmed = true;
	}
	wake.notify_all();
	if (thread.joinable())
		thread.join();
}

void Watchdog::watch(double seconds)
{
	auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
	{
		std::unique_lock<std::mutex> guard(lock);
		if (wake.wait_until(guard, deadline, [this] { return disarmed; }))
			return;
	}
	eWarning("oxle-box: run exceeded --timeout %g s, stopping", seconds);
	Journal::instance().event("quit", {{"code", timeoutExitCode}});
	Journal::instance().close();
	_exit(timeoutExitCode);
}
