#ifndef OXLE_BENCH_ENGINE_STREAMSINK_H
#define OXLE_BENCH_ENGINE_STREAMSINK_H

#include <atomic>
#include <string>
#include <thread>

// The fastest possible decoder device: a FIFO read and thrown away, with the time of
// the first and the last byte.
class StreamSink
{
public:
	explicit StreamSink(const std::string& fifoPath);
	~StreamSink();
	StreamSink(const StreamSink&) = delete;
	StreamSink& operator=(const StreamSink&) = delete;

	bool ok() const { return fd >= 0; }
	long long bytes() const { return received.load(); }
	// Monotonic microseconds; 0 before the first byte.
	long long firstByteUs() const { return first.load(); }
	long long lastByteUs() const { return last.load(); }

private:
	void run();
	int fd = -1;
	std::atomic<bool> stopping{false};
	std::atomic<long long> received{0};
	std::atomic<long long> first{0};
	std::atomic<long long> last{0};
	std::thread reader;
};

long long monotonicUs();

#endif
