#ifndef OXLE_BENCH_ENGINE_PATHBENCH_H
#define OXLE_BENCH_ENGINE_PATHBENCH_H

#include <atomic>
#include <string>

// What the stream path costs per byte and per second, beside curl doing the same work in
// the same run: CPU and page faults per MiB at full speed into the same FIFO, wake-ups
// and CPU per thread at a decoder-paced rate, and the process's memory while a stream
// plays and after it stopped. Each figure is printed as one "path-row:" line.
struct PathBenchOptions
{
	int runs = 3;
	int megabytes = 256;
	int seconds = 10; // window of the paced measurement
	int warmup = 3;
	double mbit = 5.0;
	bool fullSpeed = true, paced = true;
};

void benchPath(const PathBenchOptions& options, const std::string& pvrPath, std::atomic<int>& streamPort);

#endif
