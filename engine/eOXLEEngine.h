#ifndef OXLE_ENGINE_EOXLEENGINE_H
#define OXLE_ENGINE_EOXLEENGINE_H

#include <atomic>

#include "eMainloop.h"
#include "eString.h"
#include "eThread.h"
#include "sigc.h"

// The playback engine: turns a play request into a running stream (buffer sizing,
// progress display, stream request, PID detection, decoder set-up, streaming
// threads) and keeps the engine status that the main window polls.
class eOXLEEngine : public eThread, public SigC::Object
{
public:
	// Engine status values.
	static constexpr int STATUS_STOPPED = 0;
	static constexpr int STATUS_ERROR = 1;
	static constexpr int STATUS_PLAYING = 2;
	static constexpr int STATUS_PAUSED = 3;
	static constexpr int STATUS_STARTED = 8;
	static constexpr int STATUS_CLOSING = 9;

	// Results of playStream and requestStream.
	static constexpr int STREAM_NO_CONNECTION = -1;
	static constexpr int STREAM_NO_ANSWER = -2;
	static constexpr int STREAM_BAD_ANSWER = -3;
	static constexpr int STREAM_TOO_LITTLE_DATA = -4;
	static constexpr int STREAM_NO_PIDS = -5;

	static eOXLEEngine* getInstance();
	~eOXLEEngine() override;

	// The engine's own loop; no operation starts this thread.
	void thread() override;
	void thread_finished() override;

	// "start2" plays path, "stop" and "terminate" stop (a terminate is the plugin going:
	// the server is told without waiting for its answer), "compdest" ends audio-only mode.
	void control(eString cmd, eString path, eString startSeconds, eString channel, int);
	void playNow(eString path, eString startSeconds, eString channel);
	void updateBufferingInfos(int percent);
	void setErrorStatus();
	void checkCompression();
	void closeCompression();
	// URL escapes decoded: "+" is a space, "%XY" the byte 0xXY.
	static eString unquote(const eString& text);

	// 0 when the stream plays, otherwise one of the STREAM_ results (-1, -4, -5).
	int playStream(eString path);
	// Opens streamSocket and checks the server's answer: 0, -1, -2 or -3.
	int requestStream();
	// Sends the request in buffer and reads the first answer into it: 0 or -1.
	int tcpRequest_stream(int socket, char* buffer, int length);
	// Prebuffers from socket up to target bytes; the bytes buffered, 0 when aborted.
	int bufferVLC(int socket, int target);

	// Ends the stream on the server and in the box. The feeder's clean-up passes
	// onStreamingThread, which hands the progress display to the GUI thread. Without
	// awaitServer the server's answer is not waited for: nothing the box does next
	// depends on the server having stopped.
	void leaveStreamingClient_stream(bool onStreamingThread = false, bool awaitServer = true);
	// Ends the threads and the stream.
	void stopNow(bool awaitServer = true);
	// Joins the threads of a stream that ended by itself (their ids stay until then), so
	// that none outlives the caller; they have told the server already.
	void joinEndedStream();
	// Bytes the feeder has handed to the decoder since the stream's threads started.
	long long bytesFed() const;

	// The loop thread() would run; it has no sources.
	eMainloop loop;
	// Written by the GUI thread and both streaming threads; each acts only on the
	// values it watches.
	std::atomic<int> status{STATUS_STOPPED};
	// Copied at each start; GUI thread only.
	eString serverAddress;
	eString streamPort;

private:
	eOXLEEngine();
	// Bytes of the last answer tcpRequest_stream read (the answer may hold NULs).
	int answerLength = 0;
	// The server ended the stream while it was being prebuffered. GUI thread only.
	bool endedWhilePrebuffering = false;
};

// A non-blocking TCP connection to address:port, given about seconds to come up;
// the socket or -1.
int tcpOpen_stream(eString address, int port, int seconds);

#endif
