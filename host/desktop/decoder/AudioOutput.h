#ifndef OXLE_DESKTOP_AUDIOOUTPUT_H
#define OXLE_DESKTOP_AUDIOOUTPUT_H

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "AudioQueue.h"

extern "C"
{
#include <libavutil/frame.h>
}

struct SwrContext;

// The box's loudspeaker on a PC: an SDL audio device fed from an AudioQueue. Decoded
// frames are resampled to what the device opened and queued by their PTS.
// Threads: push() is the decoder thread's; setPaused(), clear() and setVolume() may come
// from any thread (they only touch the queue); SDL's own thread pulls from the queue in
// its callback and touches nothing else.
class AudioOutput
{
public:
	AudioOutput();
	~AudioOutput();
	AudioOutput(const AudioOutput&) = delete;
	AudioOutput& operator=(const AudioOutput&) = delete;

	// Opens SDL's audio device (SDL_AUDIODRIVER chooses the driver), once in the object's
	// life; false with a diagnostic when there is none.
	bool open(std::string& error);
	void close();
	bool isOpen() const { return device != 0; }

	// A decoded frame whose pts is in 90 kHz units (AV_NOPTS_VALUE: right after the last).
	void push(const AVFrame& frame);
	void setPaused(bool paused);
	void clear();
	void setVolume(int mute, int volume);

	// Null until open() succeeded.
	AudioQueue* queue() { return pcm.get(); }

private:
	static void fill(void* self, uint8_t* stream, int len);
	bool configure(const AVFrame& frame);

	uint32_t device = 0;
	// Made by open(), then never replaced while the object lives.
	std::unique_ptr<AudioQueue> pcm;
	// The queue as SDL's thread sees it: that thread may start inside SDL_OpenAudioDevice,
	// before the queue exists, and finds it here once it does.
	std::atomic<AudioQueue*> callbackQueue{nullptr};

	// The decoder thread's: the resampler and what it was set up for.
	SwrContext* resampler = nullptr;
	int inRate = 0, inFormat = -1;
	AVChannelLayout inLayout{};
	std::vector<int16_t> converted;
	std::atomic<bool> staleResampler{false}; // set by clear(), acted on by the decoder thread
};

#endif
