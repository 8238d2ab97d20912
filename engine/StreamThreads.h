#ifndef OXLE_ENGINE_STREAMTHREADS_H
#define OXLE_ENGINE_STREAMTHREADS_H

#include <pthread.h>

#include <atomic>

// The two threads of a playing stream: the receiver (socket -> tsBuffer_Stream) and
// the feeder (tsBuffer_Stream -> "/dev/pvr"). Both use deferred cancellation and
// are cancellable only inside their own waits, never inside host calls.

// The threads' names as the system shows them.
const char RECEIVER_THREAD_NAME[] = "oxle-receiver";
const char FEEDER_THREAD_NAME[] = "oxle-feeder";

// Guards tsBuffer_Stream and the two conditions below; held around single buffer
// operations and the waits on it, never across a socket or device call. The bytes
// themselves move outside it: the receiver reads the socket into room it reserved at
// the buffer's end, the feeder writes the device from the buffer's front and consumes
// afterwards. That holds because while the threads run only the feeder takes bytes
// out or empties the buffer, and a clear keeps the receiver's room.
extern pthread_mutex_t tsMutex_Stream;
// Signalled (under tsMutex_Stream) when data was appended / when the buffer fell below
// its fill limit or was emptied.
extern pthread_cond_t tsData_Stream;
extern pthread_cond_t tsSpace_Stream;

// Thread ids, 0 when there is none. Written by the GUI thread when it creates or
// joins a thread, and by the feeder's clean-up for the receiver; the GUI thread
// always joins the feeder before it looks at the receiver, so no lock is needed.
extern pthread_t receiver;
extern pthread_t pvr;
// Only the feeder touches it.
extern bool paused1;
// The stream socket and the device descriptor handed to the threads. Written by the
// GUI thread while no streaming thread exists; each thread works on its own copy.
extern int streamSocket;
extern int pvrFd;
// Bytes the feeder wrote to the device since the threads started. Written by the feeder
// (and zeroed by the GUI thread before it starts one), read by the GUI thread's status tick.
extern std::atomic<long long> feederBytes;
// An audio-only stream plays. Set by the GUI thread before the threads start, cleared
// by whichever thread ends the stream.
extern std::atomic<bool> audioOnly;

// Starts whichever thread is missing; false (with a diagnostic) when one could not be
// started. The device is opened here; a device that cannot be opened makes the
// feeder drop every block.
bool createThreads_stream();

void* receiverThread_stream(void* socketPtr);
void receiverThreadCleanup_stream(void* socketPtr);
void* pvrThread_stream(void* pvrFdPtr);
void pvrThreadCleanup_stream(void* feederExit);

// Cancel and join; a thread that already ended by itself is joined the same way.
void killReceiverThread_stream();
void killPVRThread_stream();
// The feeder first: its clean-up ends the receiver.
void killThreads_stream();

// Writes all of data to fd, retrying after short writes, interruptions and a full
// non-blocking descriptor. Returns the bytes written: length, or fewer when the
// descriptor failed outright.
int writeAll_stream(int fd, const char* data, int length);

// Empties tsBuffer_Stream under its mutex.
void clearBuffer_stream();

#endif
