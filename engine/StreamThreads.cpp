#include "StreamThreads.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

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
	int idleCheckMs = 100;
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

// Returns once the buffer has room. A full buffer is one the feeder is draining, and it
// signals when it took a block: no time-out is needed (a stop cancels the wait).
void waitForRoom(int fillLimit)
{
	pthread_mutex_lock(&tsMutex_Stream);
	pthread_cleanup_push(unlockBuffer, nullptr);
	while (tsBuffer_Stream.size() >= fillLimit)
	{
		CancelWindow window;
		pthread_cond_wait(&tsSpace_Stream, &tsMutex_Stream);
	}
	pthread_cleanup_pop(1);
}

// Sleeps until the socket has something (data, its end, an error) or a stop cancels.
bool socketReadable(int socket)
{
	pollfd entry{socket, POLLIN, 0};
	CancelWindow window;
	return poll(&entry, 1, -1) > 0;
}

// The socket's bytes go straight into the buffer's tail: the room is taken under the
// lock, filled outside it, and handed over under it again. Returns what recv did.
ssize_t receiveIntoBuffer(int socket, int blockSize)
{
	int room = blockSize;
	pthread_mutex_lock(&tsMutex_Stream);
	char* tail = tsBuffer_Stream.reserveWrite(room);
	pthread_mutex_unlock(&tsMutex_Stream);
	ssize_t got = recv(socket, tail, static_cast<size_t>(room), MSG_DONTWAIT);
	const int error = errno;
	pthread_mutex_lock(&tsMutex_Stream);
	tsBuffer_Stream.commitWrite(got > 0 ? static_cast<int>(got) : 0);
	if (got > 0)
		pthread_cond_signal(&tsData_Stream);
	pthread_mutex_unlock(&tsMutex_Stream);
	errno = error;
	return got;
}

// Nothing more will come from the socket; the feeder's clean-up ends this thread.
[[noreturn]] void awaitCancellation()
{
	for (;;)
	{
		CancelWindow window;
		pause();
	}
}

[[noreturn]] void receiveLoop(int socket, const ThreadPlan& plan)
{
	for (;;)
	{
		if (engineStatus() == eOXLEEngine::STATUS_PAUSED)
		{
			sleepMs(plan.idleCheckMs);
			continue;
		}
		cancellationPoint();
		waitForRoom(plan.fillLimit);
		// Paused while it slept: the bytes wait in the socket.
		if (!socketReadable(socket) || engineStatus() == eOXLEEngine::STATUS_PAUSED)
			continue;
		ssize_t got = receiveIntoBuffer(socket, plan.blockSize);
		if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
		{
			// The server is done (or the link is): the feeder notices the dry buffer.
			eDebug("[OXLE] stream socket ended: %s", got == 0 ? "closed by the server" : strerror(errno));
			awaitCancellation();
		}
	}
}

// Up to blockSize bytes at the buffer's front, in one piece; their count in length.
// They stay in the buffer, where only this thread takes bytes out, until consumed.
const char* frontPiece(int& length)
{
	pthread_mutex_lock(&tsMutex_Stream);
	const char* piece = tsBuffer_Stream.front(length);
	pthread_mutex_unlock(&tsMutex_Stream);
	return piece;
}

void consumePiece(int length, int fillLimit)
{
	pthread_mutex_lock(&tsMutex_Stream);
	const bool wasFull = tsBuffer_Stream.size() >= fillLimit;
	tsBuffer_Stream.skip(length);
	if (wasFull && tsBuffer_Stream.size() < fillLimit)
		pthread_cond_signal(&tsSpace_Stream);
	pthread_mutex_unlock(&tsMutex_Stream);
}

// Sleeps until the receiver appends or ms pass, unless data came in the meantime.
void waitForData(int ms)
{
	pthread_mutex_lock(&tsMutex_Stream);
	pthread_cleanup_push(unlockBuffer, nullptr);
	if (tsBuffer_Stream.empty())
		waitLocked(&tsData_Stream, ms);
	pthread_cleanup_pop(1);
}

// The grace period at the end of a stream; the viewer's stop cuts it short.
void waitOutStreamEnd(const ThreadPlan& plan)
{
	// A deadline, not a count of sleeps: a loaded box oversleeps every one of them.
	const long long deadline = monotonicMs() + plan.endOfStreamWaitMs;
	for (long long left = plan.endOfStreamWaitMs; left > 0; left = deadline - monotonicMs())
	{
		if (engineStatus() == eOXLEEngine::STATUS_CLOSING)
			return;
		sleepMs(static_cast<int>(std::min<long long>(left, plan.idleCheckMs)));
	}
}

void feedLoop(int device, const ThreadPlan& plan)
{
	// Waiting for data on an empty buffer counts as empty polls, one per emptyPollWaitMs.
	const long long emptyLimitMs = static_cast<long long>(plan.emptyPollLimit) * plan.emptyPollWaitMs;
	long long emptySince = -1;
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

		int length = plan.blockSize;
		const char* piece = frontPiece(length);
		if (length > 0)
		{
			emptySince = -1;
			int written;
			{
				// The device paces the stream: the write blocks until it took the piece.
				CancelWindow window;
				written = writeAll_stream(device, piece, length);
			}
			consumePiece(length, plan.fillLimit);
			if (written > 0)
				feederBytes += written;
			if (written < length && !writeFailureReported)
			{
				eDebug("[OXLE] decoder device refuses the stream (%s); blocks are dropped", strerror(errno));
				writeFailureReported = true;
			}
			continue;
		}
		const long long now = monotonicMs();
		if (emptySince < 0)
			emptySince = now;
		const long long left = emptySince + emptyLimitMs - now;
		if (left < 0)
		{
			waitOutStreamEnd(plan);
			clearBuffer_stream();
			return;
		}
		// Past the limit by a millisecond, so that the next look finds it exceeded.
		waitForData(static_cast<int>(std::min<long long>(left + 1, plan.idleCheckMs)));
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
	pthread_cleanup_push(receiverThreadCleanup_stream, &socket);
	nameThread(RECEIVER_THREAD_NAME);
	raisePriority("receiver");
	receiveLoop(socket, plan);
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
	pthread_cleanup_push(pvrThreadCleanup_stream, &exit);
	nameThread(FEEDER_THREAD_NAME);
	raisePriority("feeder");
	feedLoop(exit.device, plan);
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
