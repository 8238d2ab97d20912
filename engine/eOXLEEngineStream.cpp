// The stream request, prebuffering, PID detection and decoder hand-over of a start:
// everything between the stream port and the running threads, on the GUI thread.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "Decoder.h"
#include "MonotonicMs.h"
#include "ProgressDisplay.h"
#include "StreamRules.h"
#include "StreamThreads.h"
#include "StreamTimings.h"
#include "TsPidScan.h"
#include "UniqueFd.h"
#include "eConfig.h"
#include "eDebug.h"
#include "eOXLEEngine.h"
#include "eServiceInterface.h"
#include "oxleGlobals.h"

namespace
{
const char STREAM_REQUEST[] = "GET /dboxstream HTTP/1.0\r\n\r\n";
const char STREAM_ANSWER_OK[] = "HTTP/1.0 200 OK";
const char HEADER_END[] = "\r\n\r\n";
const int ANSWER_BUFFER_BYTES = 512;
const char AC3_PREFERENCE_KEY[] = "/elitedvb/audio/ac3default";
const int STREAM_CONNECT_SECONDS = 1;
const int STREAM_SOCKET_BUFFER_BYTES = 256 * 1024;

// Progress milestones of a start.
const int PROGRESS_CONNECTED = 8;
const int PROGRESS_PIDS_FOUND = 94;
const int PROGRESS_DECODER_TAKEN = 95;
const int PROGRESS_PREFERENCE_READ = 98;
const int PROGRESS_DONE = 100;

// The prebuffer's silence limit is watched in slices so that a stop is noticed soon.
const int SILENCE_SLICE_MS = 100;
const int STREAM_MICROS_PER_MS = 1000;

void pauseStreamMs(int ms)
{
	if (ms > 0)
		usleep(static_cast<useconds_t>(ms) * STREAM_MICROS_PER_MS);
}

void closeStreamSocket()
{
	if (streamSocket >= 0)
		close(streamSocket);
	streamSocket = -1;
}

int bufferedBytes()
{
	pthread_mutex_lock(&tsMutex_Stream);
	int size = tsBuffer_Stream.size();
	pthread_mutex_unlock(&tsMutex_Stream);
	return size;
}

// A connect that failed for good leaves the socket unusable for another try.
bool connectFailedForGood(int error)
{
	return error != EINPROGRESS && error != EALREADY && error != EINTR;
}

UniqueFd newStreamSocket()
{
	UniqueFd s(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
	if (!s)
		return s;
	// The stream buffer is the box's buffer. A kernel that grows the socket's own buffer
	// to many megabytes would let the stream run half a minute ahead of the picture, and
	// every pause, seek and stop would take that long to be seen.
	int receiveBuffer = STREAM_SOCKET_BUFFER_BYTES;
	setsockopt(s.get(), SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
	if (fcntl(s.get(), F_SETFL, fcntl(s.get(), F_GETFL) | O_NONBLOCK) < 0)
		s.reset();
	return s;
}
} // namespace

int tcpOpen_stream(eString address, int port, int seconds)
{
	const StreamTimings& timings = streamTimings();
	sockaddr_in target{};
	target.sin_family = AF_INET;
	target.sin_port = htons(static_cast<uint16_t>(port));
	target.sin_addr.s_addr = inet_addr(address.c_str());

	UniqueFd s = newStreamSocket();
	if (!s)
	{
		eDebug("[OXLE] stream socket: %s", strerror(errno));
		return -1;
	}
	int tries = timings.connectTriesPerSecond * seconds;
	for (; tries > 0; --tries)
	{
		if (connect(s.get(), reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0 || errno == EISCONN)
			return s.release();
		if (connectFailedForGood(errno))
		{
			s = newStreamSocket();
			if (!s)
				return -1;
		}
		pauseStreamMs(timings.connectRetryMs);
	}
	eDebug("[OXLE] no stream connection to %s:%d", address.c_str(), port);
	return -1;
}

int eOXLEEngine::tcpRequest_stream(int socket, char* buffer, int length)
{
	// The server may already be gone: that is a failed start, not a SIGPIPE.
	if (send(socket, buffer, strlen(buffer), MSG_NOSIGNAL) < 0)
		eDebug("[OXLE] stream request not sent: %s", strerror(errno));

	pollfd entry{socket, POLLIN, 0};
	int ready;
	long long deadline = monotonicMs() + streamTimings().answerWaitMs;
	do
	{
		long long left = deadline - monotonicMs();
		ready = poll(&entry, 1, left > 0 ? static_cast<int>(left) : 0);
	} while (ready < 0 && errno == EINTR);
	if (ready <= 0)
	{
		buffer[0] = 0;
		return -1;
	}
	ssize_t got = read(socket, buffer, static_cast<size_t>(length));
	answerLength = got > 0 ? static_cast<int>(got) : 0;
	buffer[answerLength] = 0;
	return 0;
}

int eOXLEEngine::requestStream()
{
	streamSocket = tcpOpen_stream(serverAddress, atoi(streamPort.c_str()), STREAM_CONNECT_SECONDS);
	if (streamSocket < 0)
		return STREAM_NO_CONNECTION;

	char answer[ANSWER_BUFFER_BYTES];
	strcpy(answer, STREAM_REQUEST);
	if (tcpRequest_stream(streamSocket, answer, ANSWER_BUFFER_BYTES - 1) < 0)
	{
		eDebug("[OXLE] the stream server does not answer");
		closeStreamSocket();
		return STREAM_NO_ANSWER;
	}
	if (!strstr(answer, STREAM_ANSWER_OK))
	{
		eDebug("[OXLE] the stream server refuses: %.40s", answer);
		closeStreamSocket();
		return STREAM_BAD_ANSWER;
	}
	// TCP may deliver the first stream bytes together with the answer; dropping them
	// would cut the stream's head and misplace every packet after it.
	const char* headerEnd =
		static_cast<const char*>(memmem(answer, size_t(answerLength), HEADER_END, strlen(HEADER_END)));
	if (headerEnd)
	{
		const char* streamStart = headerEnd + strlen(HEADER_END);
		const int streamBytes = static_cast<int>(answer + answerLength - streamStart);
		if (streamBytes > 0)
		{
			pthread_mutex_lock(&tsMutex_Stream);
			tsBuffer_Stream.write(streamStart, streamBytes);
			pthread_mutex_unlock(&tsMutex_Stream);
		}
	}
	return 0;
}

int eOXLEEngine::bufferVLC(int socket, int target)
{
	const StreamTimings& timings = streamTimings();
	BLOCKSIZE = streamBlockSize(isStream, INITIALBUFFER);

	int have = bufferedBytes();
	int emptyReads = 0;
	endedWhilePrebuffering = false;
	const long long giveUpAt = monotonicMs() + timings.prebufferTotalMs;
	while (have < target)
	{
		// The silence limit, in slices: the viewer's stop ends prebuffering at once.
		int ready = 0;
		long long silenceEnd = monotonicMs() + timings.prebufferSilenceMs;
		if (silenceEnd > giveUpAt)
			silenceEnd = giveUpAt;
		for (;;)
		{
			if (status == STATUS_CLOSING)
				return 0;
			long long left = silenceEnd - monotonicMs();
			if (left <= 0)
				break;
			pollfd entry{socket, POLLIN, 0};
			ready = poll(&entry, 1, static_cast<int>(left < SILENCE_SLICE_MS ? left : SILENCE_SLICE_MS));
			if (ready != 0 && !(ready < 0 && errno == EINTR))
				break;
			ready = 0;
		}
		if (ready <= 0)
			break;

		// Straight into the buffer's tail, as the receiver does later.
		int room = BLOCKSIZE;
		pthread_mutex_lock(&tsMutex_Stream);
		char* tail = tsBuffer_Stream.reserveWrite(room);
		pthread_mutex_unlock(&tsMutex_Stream);
		ssize_t got = recv(socket, tail, static_cast<size_t>(room), 0);
		const int error = errno;
		pthread_mutex_lock(&tsMutex_Stream);
		tsBuffer_Stream.commitWrite(got > 0 ? static_cast<int>(got) : 0);
		have = tsBuffer_Stream.size();
		pthread_mutex_unlock(&tsMutex_Stream);
		errno = error;
		if (got > 0)
		{
			emptyReads = 0;
			updateBufferingInfos(prebufferPercent(target, have));
			pauseStreamMs(timings.prebufferReadPauseMs);
			if (monotonicMs() >= giveUpAt)
				break;
			continue;
		}
		// The server closed the stream or the link broke: nothing more will come.
		if (got == 0)
		{
			endedWhilePrebuffering = true;
			break;
		}
		if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
			break;
		if (emptyReads > timings.prebufferEmptyReadLimit)
			break;
		++emptyReads;
	}
	if (have < target && monotonicMs() >= giveUpAt)
		eDebug("[OXLE] prebuffering gave up after %d ms with %d bytes", timings.prebufferTotalMs, have);
	return bufferedBytes();
}

int eOXLEEngine::playStream(eString path)
{
	const StreamTimings& timings = streamTimings();
	if (!isStream)
		INITIALBUFFER = BLOCKSIZE / 2;
	clearBuffer_stream();

	if (requestStream() < 0)
		return STREAM_NO_CONNECTION;
	updateBufferingInfos(PROGRESS_CONNECTED);

	int got = bufferVLC(streamSocket, INITIALBUFFER);
	// A file shorter than half the prebuffer arrives whole and the server closes: that
	// is a complete stream to play, not a failed start. Silence with too little data
	// still is.
	const bool completeShortStream = endedWhilePrebuffering && got > 0;
	if (got < INITIALBUFFER / 2 && !completeShortStream)
	{
		eDebug("[OXLE] only %d bytes prebuffered, %d needed", got, INITIALBUFFER / 2);
		closeStreamSocket();
		return STREAM_TOO_LITTLE_DATA;
	}

	int videoPid, audioPid, audioType;
	find_avpids_stream(&tsBuffer_Stream, &videoPid, &audioPid, &audioType);
	if ((isStream && videoPid == -1) || audioPid == -1)
	{
		eDebug("[OXLE] no usable PIDs (video %d, audio %d)", videoPid, audioPid);
		closeStreamSocket();
		return STREAM_NO_PIDS;
	}
	updateBufferingInfos(PROGRESS_PIDS_FOUND);

	Decoder::flushClipBuffer();
	Decoder::flushBuffer();
	if (eServiceInterface* services = eServiceInterface::getInstance())
		services->stop(0);
	Decoder::Flush(0);
	updateBufferingInfos(PROGRESS_DECODER_TAKEN);

	int ac3Preference = 0;
	if (eConfig* config = eConfig::getInstance())
		config->getKey(AC3_PREFERENCE_KEY, ac3Preference);
	updateBufferingInfos(PROGRESS_PREFERENCE_READ);

	Decoder::parms.audio_type = audioTypeCode(audioType, ac3Preference, path);
	if (isStream)
		Decoder::parms.vpid = videoPid;
	Decoder::parms.apid = audioPid;

	updateBufferingInfos(PROGRESS_DONE);
	pauseStreamMs(timings.decoderSettleMs);
	Decoder::Set();

	if (!isStream)
		checkCompression();
	// Before the threads exist: a stream that ends at once must not have its end
	// overwritten by this start.
	status = STATUS_STARTED;
	hideProgressDisplay();
	if (!createThreads_stream())
		return STREAM_NO_CONNECTION;
	return 0;
}
