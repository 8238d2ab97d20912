#ifndef OXLE_BENCH_ENGINE_PROCCOUNTERS_H
#define OXLE_BENCH_ENGINE_PROCCOUNTERS_H

#include <sys/types.h>

#include <string>
#include <vector>

// What the kernel counts for a process and its threads, from /proc.
struct TaskCounters
{
	long long cpuNs = 0;
	long long minorFaults = 0;
	long long wakeups = 0; // voluntary + nonvoluntary context switches
};

// Sums the counters of the tasks under procDir ("/proc/self", "/proc/PID") called name,
// or of all of them when name is empty.
TaskCounters taskCounters(const std::string& procDir, const std::string& name);
TaskCounters minus(const TaskCounters& a, const TaskCounters& b);
// A field of /proc/self/status in kB ("VmRSS", "RssAnon"); -1 when missing.
long long statusKb(const char* field);
std::string loadAverage();
// curl with args (args[0] is "curl"), its standard output on /dev/null; -1 on failure.
pid_t spawnCurl(const std::vector<std::string>& args);

#endif
