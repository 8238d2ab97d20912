#include "StreamSink.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <vector>

namespace
{
const int PIPE_BYTES = 1024 * 1024;
const size_t READ_BYTES = 1024 * 1024;
const int WAIT_MS = 20;
} // namespace

long long monotonicUs()
{
	using namespace std::chrono;
	return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

StreamSink::StreamSink(const std::string& fifoPath)
{
	struct stat st;
	if (stat(fifoPath.c_str(), &st) != 0 && mkfifo(fifoPath.c_str(), 0666) != 0)
		return;
	fd = open(fifoPath.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
	if (fd < 0)
		return;
	// As large as the virtual decoder's pipe.
	fcntl(fd, F_SETPIPE_SZ, PIPE_BYTES);
	reader = std::thread([this] { run(); });
}

StreamSink::~StreamSink()
{
	stopping = true;
	if (reader.joinable())
		reader.join();
	if (fd >= 0)
		close(fd);
}

void StreamSink::run()
{
	std::vector<char> block(READ_BYTES);
	while (!stopping)
	{
		pollfd entry{fd, POLLIN, 0};
		if (poll(&entry, 1, WAIT_MS) <= 0)
			continue;
		ssize_t got;
		while ((got = read(fd, block.data(), block.size())) > 0)
		{
			long long now = monotonicUs();
			if (first.load() == 0)
				first = now;
			last = now;
			received += got;
		}
	}
}
