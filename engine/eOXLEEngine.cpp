#include "eOXLEEngine.h"

#include <unistd.h>

#include <cstdlib>

#include "Decoder.h"
#include "ProgressDisplay.h"
#include "StreamRules.h"
#include "StreamThreads.h"
#include "StreamTimings.h"
#include "eConfig.h"
#include "eDebug.h"
#include "eTCP.h"
#include "oxleConfig.h"
#include "oxleGlobals.h"

namespace
{
const int ENGINE_LOOP_NICENESS = 1;
const int PROGRESS_BEFORE_REQUEST = 6;
const int MICROS_PER_MS = 1000;
const int HEX_BASE = 16;
} // namespace

eOXLEEngine* eOXLEEngine::getInstance()
{
	// Made on first use and kept for the life of the process: the streaming threads
	// may still reach it while the process goes down.
	static eOXLEEngine* instance = new eOXLEEngine;
	return instance;
}

eOXLEEngine::eOXLEEngine() = default;

eOXLEEngine::~eOXLEEngine() = default;

void eOXLEEngine::thread()
{
	if (nice(ENGINE_LOOP_NICENESS) == -1)
		eDebug("[OXLE] engine loop keeps its priority");
	loop.exec();
}

void eOXLEEngine::thread_finished()
{
}

void eOXLEEngine::control(eString cmd, eString path, eString startSeconds, eString channel, int)
{
	if (cmd == "compdest")
		closeCompression();

	BufferSizing sizing = bufferSizing(path, configInt(OXLE_KEY("buffersize"), BUFFER_BLOCKS_DEFAULT));
	isStream = sizing.isStream;
	BLOCKSIZE = sizing.blockSize;
	INITIALBUFFER = sizing.initialBuffer;

	if (cmd == "start2")
		playNow(path, startSeconds, channel);
	else if (cmd == "stop")
		stopNow();
	else if (cmd == "terminate")
		stopNow(false);
}

void eOXLEEngine::playNow(eString path, eString, eString)
{
	status = STATUS_PLAYING;
	// The threads first: the feeder may be writing straight out of the buffer.
	killThreads_stream();
	clearBuffer_stream();

	createProgressDisplay();

	isStream = !isAudioOnlyPath(path);
	serverAddress = configString(OXLE_KEY("serverip"), eTCP::DEFAULT_SERVER_IP);
	streamPort = eTCP::getInstance()->sendGetRequest("RQS", "SPO", "NO", "", "", false);

	usleep(static_cast<useconds_t>(streamTimings().startSettleMs) * MICROS_PER_MS);
	updateBufferingInfos(PROGRESS_BEFORE_REQUEST);

	int result = playStream(path);
	if (result < 0)
	{
		eDebug("[OXLE] stream start failed (%d)", result);
		hideProgressWidgets();
		setErrorStatus();
	}
}

void eOXLEEngine::updateBufferingInfos(int percent)
{
	showProgress(percent);
}

void eOXLEEngine::setErrorStatus()
{
	int now = status;
	if (now != STATUS_STOPPED && now != STATUS_PLAYING)
		hideProgressDisplay();
	status = STATUS_ERROR;
}

void eOXLEEngine::checkCompression()
{
	audioOnly = true;
}

void eOXLEEngine::closeCompression()
{
	audioOnly = false;
}

eString eOXLEEngine::unquote(const eString& text)
{
	eString result;
	result.reserve(text.size());
	for (size_t i = 0; i < text.size(); ++i)
	{
		char c = text[i];
		if (c == '+')
			result += ' ';
		else if (c != '%' || i + 1 == text.size())
			result += c;
		else if (i + 2 < text.size())
		{
			result += static_cast<char>(HEX_BASE * getHex(static_cast<unsigned char>(text[i + 1])) +
				getHex(static_cast<unsigned char>(text[i + 2])));
			i += 2;
		}
		else
		{
			result += static_cast<char>(getHex(static_cast<unsigned char>(text[i + 1])));
			i += 1;
		}
	}
	return result;
}

void eOXLEEngine::leaveStreamingClient_stream(bool onStreamingThread, bool awaitServer)
{
	if (awaitServer)
		eTCP::getInstance()->sendGetRequest("VLC", "STP", "NOUP", "", "", false);
	else
		eTCP::getInstance()->sendWithoutReply("VLC", "STP", "NOUP", "", "");
	clearBuffer_stream();
	Decoder::Flush(0);

	ProgressParts parts = takeProgressDisplay();
	if (onStreamingThread)
		handOverProgressParts(parts);
	else
	{
		destroyProgressParts(parts);
		releaseHandedOverParts();
	}

	if (audioOnly)
		closeCompression();
	// Last: whoever sees the stream stopped sees all of it stopped.
	status = STATUS_STOPPED;
}

void eOXLEEngine::stopNow(bool awaitServer)
{
	killThreads_stream();
	leaveStreamingClient_stream(false, awaitServer);
	status = STATUS_STOPPED;
}

void eOXLEEngine::joinEndedStream()
{
	killThreads_stream();
	releaseHandedOverParts();
}

long long eOXLEEngine::bytesFed() const
{
	return feederBytes.load();
}
