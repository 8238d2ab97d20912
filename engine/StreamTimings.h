#ifndef OXLE_ENGINE_STREAMTIMINGS_H
#define OXLE_ENGINE_STREAMTIMINGS_H

// Every wait and limit of the stream path in one place. The box uses the built-in
// values; tests shorten the long ones so that a silent server does not cost them
// seconds each. Change them only while no stream runs: the streaming threads read
// them at their start and the start sequence on the GUI thread reads them as it goes.
struct StreamTimings
{
	// Stream connection: tries per second granted and the pause after a failed try.
	int connectTriesPerSecond = 100;
	int connectRetryMs = 40;
	// The server's answer to the stream request.
	int answerWaitMs = 3000;
	// Prebuffering ends after this long without a byte, and after this long in all: a
	// stream that trickles in would otherwise hold the GUI thread for as long as it lasts.
	int prebufferSilenceMs = 7000;
	int prebufferTotalMs = 15000;
	// Pause after each prebuffered read; keeps the progress display at a sane rate.
	int prebufferReadPauseMs = 20;
	// Reads in a row that bring nothing before prebuffering gives up.
	int prebufferEmptyReadLimit = 1000000;
	// Before the stream port is asked for, and before the decoder starts.
	int startSettleMs = 500;
	int decoderSettleMs = 100;
	// One empty poll of the feeder: this much waiting for data on an empty buffer.
	// The feeder waits up to idleCheckMs at a time (ended early by new data) and
	// counts every emptyPollWaitMs of it as one poll.
	int emptyPollWaitMs = 1;
	// Empty polls in a row, with a drained buffer, that mean the server stopped.
	int emptyPollLimitVideo = 100;
	int emptyPollLimitAudio = 10000;
	// The grace period after that, in which the decoder plays out what it holds.
	int endOfStreamWaitMs = 7000;
	// How long a thread that waits for neither data nor room (paused, an empty buffer,
	// the grace period) goes without looking at the status. A stream that flows wakes
	// its threads through the buffer's conditions, the socket and the device instead.
	int idleCheckMs = 100;
};

StreamTimings& streamTimings();
// Back to the built-in values.
void resetStreamTimings();

#endif
