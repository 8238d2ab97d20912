#include "StreamThreads.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "Decoder.h"
#include "FdIo.h"
#include "MonotonicMs.h"
#include "StreamRules.h"
#include "StreamTimings.h"
#include "boxPath.h"
#include "eDebug.h"
#include "eOXLEEngine.h"
#include "oxleGlobals.h"

pthread_mutex_t tsMutex_Stream = PTHREAD_MUTEX_INITIALIZER;
pthread_cond_t tsData_Stream;
pthread_cond_t tsSpace_Stream;
pthread_t receiver = 0;
pthread_t pvr = 0;
bool paused1 = false;
int streamSocket = -1;
int pvrFd = -1;
std::atomic<bool> audioOnly{false};
std::atomic<long long> feederBytes{0};

namespace
{
const char PVR_DEVICE[] = "/dev/pvr";
const int PRIORITY_RAISE = -1;
const long NANOS_PER_MS = 1000000L;
const long NANOS_PER_SECOND = 1000000000L;
const int MS_PER_SECOND = 1000;

// What the threads of one stream work with, fixed when they are created. Written by
// the GUI thread in createThreads_stream only, read by the threads at their start.
struct ThreadPlan
{
	int blockSize = STREAM_BLOCKSIZE;
	int fillLimit = 0;
	int emptyPollLimit = 0;
	int emptyPollWaitMs = 1;
	int endOfStreamWaitMs = 0;
	int idleCheckMs = 10;
	int socketWaitMs = 100;
};
ThreadPlan threadPlan;

// The buffer's conditions wait on the monotonic clock: the box sets its wall clock
// from the broadcast some time after it started.
struct ConditionSetup
{
	ConditionSetup()
	{
		pthread_condattr_t attributes;
		pthread_condattr_init(&attributes);
		pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
		pthread_cond_init(&tsData_Stream, &attributes);
		pthread_cond_init(&tsSpace_Stream, &attributes);
		pthread_condattr_destroy(&attributes);
	}
};
const ConditionSetup conditionSetup;

int engineStatus()
{
	return eOXLEEngine::getInstance()->status.load();
}

// The threads run with cancellation disabled and open it only around their own
// waits, so that a cancellation never lands inside host code.
class CancelWindow
{
public:
	CancelWindow() { pthread_setcancelstate(PTHREAD_CANCEL_ENABLE, &previous); }
	~CancelWindow()
	{
		int ignored;
		pthread_setcancelstate(previous, &ignored);
	}
	CancelWindow(const CancelWindow&) = delete;
	CancelWindow& operator=(const CancelWindow&) = delete;

private:
	int previous = PTHREAD_CANCEL_DISABLE;
};

void cancellationPoint()
{
	CancelWindow window;
	pthread_testcancel();
}

void sleepMs(int ms)
{
	CancelWindow window;
	timespec left{ms / MS_PER_SECOND, (ms % MS_PER_SECOND) * NANOS_PER_MS};
	while (nanosleep(&left, &left) != 0 && errno == EINTR)
	{
	}
}

void unlockBuffer(void*)
{
	pthread_mutex_unlock(&tsMutex_Stream);
}

// Called with tsMutex_Stream held, inside the caller's clean-up handler that gives
// the mutex back: a cancellation inside the wait re-takes the mutex before the
// handlers run. Returns with the mutex held.
void waitLocked(pthread_cond_t* condition, int ms)
{
	timespec deadline;
	clock_gettime(CLOCK_MONOTONIC, &deadline);
	long nanos = deadline.tv_nsec + static_cast<long>(ms % MS_PER_SECOND) * NANOS_PER_MS;
	deadline.tv_sec += ms / MS_PER_SECOND + nanos / NANOS_PER_SECOND;
	deadline.tv_nsec = nanos % NANOS_PER_SECOND;
	CancelWindow window;
	pthread_cond_timedwait(condition, &tsMutex_Stream, &deadline);
}

// Named so that a look at the process (top -H, /proc/PID/task) tells them apart.
void nameThread(const char* name)
{
	pthread_setname_np(pthread_self(), name);
}

void raisePriority(const char* who)
{
	errno = 0;
	if (nice(PRIORITY_RAISE) == -1 && errno != 0)
		eDebug("[OXLE] %s keeps its priority: %s", who, strerror(errno));
}

// True when the buffer has room; otherwise waits a little for the feeder to make some.
bool waitForRoom(int fillLimit, int waitMs)
{
	bool room;
	pthread_mutex_lock(&tsMutex_Stream);
	pthread_cleanup_push(unlockBuffer, nullptr);
	room = tsBuffer_Stream.size() < fillLimit;
	if (!room)
		waitLocked(&tsSpace_Stream, waitMs);
	pthread_cleanup_pop(1);
	return room;
}

void appendToBuffer(const char* data, int length)
{
	pthread_mutex_lock(&tsMutex_Stream);
	tsBuffer_Stream.write(data, length);
	pthread_cond_signal(&tsData_Stream);
	pthread_mutex_unlock(&tsMutex_Stream);
}

// Waits until the socket has something (data, end, error) or waitMs pass.
bool socketReadable(int socket, int waitMs)
{
	pollfd entry{socket, POLLIN, 0};
	CancelWindow window;
	return poll(&entry, 1, waitMs) > 0;
}

[[noreturn]] void receiveLoop(int socket, std::vector<char>& block, const ThreadPlan& plan)
{
	bool socketOpen = true;
	for (;;)
	{
		if (engineStatus() == eOXLEEngine::STATUS_PAUSED)
		{
			sleepMs(plan.idleCheckMs);
			continue;
		}
		cancellationPoint();
		if (!waitForRoom(plan.fillLimit, plan.socketWaitMs))
			continue;
		if (!socketOpen)
		{
			sleepMs(plan.socketWaitMs);
			continue;
		}
		if (!socketReadable(socket, plan.socketWaitMs))
			continue;
		ssize_t got = recv(socket, block.data(), block.size(), MSG_DONTWAIT);
		if (got > 0)
			appendToBuffer(block.data(), static_cast<int>(got));
		else if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
		{
			// The server is done (or the link is): the feeder notices the dry buffer.
			eDebug("[OXLE] stream socket ended: %s", got == 0 ? "closed by the server" : strerror(errno));
			socketOpen = false;
		}
	}
}

// Takes one block out of the buffer, or waits up to waitMs for one. Returns the bytes
// taken; drained tells whether the buffer was empty afterwards, waitedMs how long
// the wait took.
int takeBlock(std::vector<char>& block, int waitMs, bool& drained, long long& waitedMs)
{
	int got;
	waitedMs = 0;
	pthread_mutex_lock(&tsMutex_Stream);
	pthread_cleanup_push(unlockBuffer, nullptr);
	got = tsBuffer_Stream.read(block.data(), static_cast<int>(block.size()));
	if (got > 0)
		pthread_cond_signal(&tsSpace_Stream);
	else
	{
		long long start = monotonicMs();
		waitLocked(&tsData_Stream, waitMs);
		waitedMs = monotonicMs() - start;
	}
	drained = tsBuffer_Stream.empty();
	pthread_cleanup_pop(1);
	return got;
}

// The grace period at the end of a stream; the viewer's stop cuts it short.
void waitOutStreamEnd(const ThreadPlan& plan)
{
	for (int waited = 0; waited < plan.endOfStreamWaitMs; waited += plan.idleCheckMs)
	{
		if (engineStatus() == eOXLEEngine::STATUS_CLOSING)
			return;
		sleepMs(plan.idleCheckMs);
	}
}

void feedLoop(int device, std::vector<char>& block, const ThreadPlan& plan)
{
	int emptyPolls = 0;
	bool writeFailureReported = false;
	for (;;)
	{
		int status = engineStatus();
		if (status == eOXLEEngine::STATUS_CLOSING)
		{
			clearBuffer_stream();
			return;
		}
		if (status == eOXLEEngine::STATUS_PAUSED)
		{
			if (!paused1)
				Decoder::Pause(1);
			paused1 = true;
			sleepMs(plan.idleCheckMs);
			continue;
		}
		if (paused1)
		{
			paused1 = false;
			Decoder::Resume(true);
		}
		cancellationPoint();

		bool drained = false;
		long long waitedMs = 0;
		// Up to the poll limit, but never longer than the status may go unwatched.
		int waitMs = (plan.emptyPollLimit - emptyPolls + 1) * plan.emptyPollWaitMs;
		if (waitMs > plan.idleCheckMs || waitMs <= 0)
			waitMs = plan.idleCheckMs;
		int got = takeBlock(block, waitMs, drained, waitedMs);
		if (got > 0)
		{
			emptyPolls = 0;
			int written;
			{
				CancelWindow window;
				written = writeAll_stream(device, block.data(), got);
			}
			if (written > 0)
				feederBytes += written;
			if (written < got && !writeFailureReported)
			{
				eDebug("[OXLE] decoder device refuses the stream (%s); blocks are dropped", strerror(errno));
				writeFailureReported = true;
			}
			continue;
		}
		// Every emptyPollWaitMs of waiting is one empty poll; a wait cut short by
		// data, or a spurious wake-up, still counts as one.
		long long polls = plan.emptyPollWaitMs > 0 ? waitedMs / plan.emptyPollWaitMs : 1;
		emptyPolls += polls > 0 ? static_cast<int>(polls) : 1;
		if (emptyPolls > plan.emptyPollLimit && drained)
		{
			waitOutStreamEnd(plan);
			clearBuffer_stream();
			return;
		}
		if (emptyPolls > plan.emptyPollLimit)
			emptyPolls = plan.emptyPollLimit + 1;
	}
}
} // namespace

void clearBuffer_stream()
{
	pthread_mutex_lock(&tsMutex_Stream);
	tsBuffer_Stream.clear();
	pthread_cond_broadcast(&tsSpace_Stream);
	pthread_mutex_unlock(&tsMutex_Stream);
}

int writeAll_stream(int device, const char* data, int length)
{
	return length > 0 ? static_cast<int>(fdio::writeAll(device, data, static_cast<size_t>(length))) : 0;
}

void receiverThreadCleanup_stream(void* socketPtr)
{
	int* socket = static_cast<int*>(socketPtr);
	if (*socket >= 0)
		close(*socket);
	*socket = -1;
}

void* receiverThread_stream(void* socketPtr)
{
	pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, nullptr);
	int socket = *static_cast<int*>(socketPtr);
	const ThreadPlan plan = threadPlan;
	std::vector<char> block(static_cast<size_t>(plan.blockSize));
	pthread_cleanup_push(receiverThreadCleanup_stream, &socket);
	nameThread(RECEIVER_THREAD_NAME);
	raisePriority("receiver");
	receiveLoop(socket, block, plan);
	pthread_cleanup_pop(1);
	return nullptr;
}

namespace
{
// What the feeder's clean-up needs to know: its device, and whether the feeder ended by
// itself (drained stream or closing) or was cancelled by a stop.
struct FeederExit
{
	int device;
	bool endedByItself;
};
} // namespace

void pvrThreadCleanup_stream(void* exitPtr)
{
	// Runs once, to its end: a cancellation that arrives now must not cut it short.
	pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, nullptr);
	FeederExit* exit = static_cast<FeederExit*>(exitPtr);
	if (exit->device >= 0)
		close(exit->device);
	exit->device = -1;
	killReceiverThread_stream();
	// A stop while paused ends the stream itself (stopNow). A stream that ran dry
	// while the viewer had paused it has ended all the same: without this the end
	// would never be told and the main window would wait for it forever.
	// Only a stream that ran dry waits for the server's answer: the next file must not
	// start before the server has stopped. A stream the viewer ended, or one the GUI
	// thread cancels, has been or is about to be ended on the server by the GUI thread,
	// which may be joining this thread: a server that never answers must not hold it.
	const int status = engineStatus();
	if (exit->endedByItself || status != eOXLEEngine::STATUS_PAUSED)
		eOXLEEngine::getInstance()->leaveStreamingClient_stream(
			true, exit->endedByItself && status != eOXLEEngine::STATUS_CLOSING);
}

void* pvrThread_stream(void* pvrFdPtr)
{
	pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, nullptr);
	FeederExit exit{*static_cast<int*>(pvrFdPtr), false};
	const ThreadPlan plan = threadPlan;
	std::vector<char> block(static_cast<size_t>(plan.blockSize));
	pthread_cleanup_push(pvrThreadCleanup_stream, &exit);
	nameThread(FEEDER_THREAD_NAME);
	raisePriority("feeder");
	feedLoop(exit.device, block, plan);
	exit.endedByItself = true;
	pthread_cleanup_pop(1);
	return nullptr;
}

bool createThreads_stream()
{
	const StreamTimings& timings = streamTimings();
	threadPlan.blockSize = streamBlockSize(isStream, INITIALBUFFER);
	threadPlan.fillLimit = INITIALBUFFER;
	threadPlan.emptyPollLimit = audioOnly ? timings.emptyPollLimitAudio : timings.emptyPollLimitVideo;
	threadPlan.emptyPollWaitMs = timings.emptyPollWaitMs;
	threadPlan.endOfStreamWaitMs = timings.endOfStreamWaitMs;
	threadPlan.idleCheckMs = timings.idleCheckMs;
	threadPlan.socketWaitMs = timings.socketWaitMs;

	bool created = true;
	if (receiver == 0)
	{
		int error = pthread_create(&receiver, nullptr, receiverThread_stream, &streamSocket);
		if (error != 0)
		{
			eDebug("[OXLE] cannot start the receiver: %s", strerror(error));
			receiver = 0;
			// Nobody else would close it: the receiver owns the socket.
			close(streamSocket);
			streamSocket = -1;
			created = false;
		}
	}
	if (pvr == 0 && created)
	{
		feederBytes = 0;
		pvrFd = open(boxPath(PVR_DEVICE).c_str(), O_RDWR | O_CLOEXEC);
		if (pvrFd < 0)
			eDebug("[OXLE] cannot open %s: %s", PVR_DEVICE, strerror(errno));
		int error = pthread_create(&pvr, nullptr, pvrThread_stream, &pvrFd);
		if (error != 0)
		{
			eDebug("[OXLE] cannot start the feeder: %s", strerror(error));
			if (pvrFd >= 0)
				close(pvrFd);
			pvrFd = -1;
			pvr = 0;
			created = false;
		}
	}
	return created;
}

void killReceiverThread_stream()
{
	if (receiver != 0)
	{
		pthread_cancel(receiver);
		pthread_join(receiver, nullptr);
		receiver = 0;
	}
}

void killPVRThread_stream()
{
	if (pvr != 0)
	{
		pthread_cancel(pvr);
		pthread_join(pvr, nullptr);
		pvr = 0;
	}
}

void killThreads_stream()
{
	killPVRThread_stream();
	killReceiverThread_stream();
}
