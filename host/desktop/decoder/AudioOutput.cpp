#include "AudioOutput.h"

#include <SDL.h>

#include <algorithm>

#include "eDebug.h"

extern "C"
{
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
#include <libswresample/swresample.h>
}

namespace
{
// What the box's decoder puts out; the device may offer another rate or channel count,
// and the resampler then converts to that.
const int wantedRate = 48000;
const int wantedChannels = 2;
// About 21 ms a callback at 48 kHz: short enough that the sound follows the picture,
// long enough that a busy machine does not starve the device.
const int deviceFrames = 1024;
// As long as the video pacing lets a late stream be before it starts afresh.
const int queueCapacityMs = 1000;
// Sound reaches the decoder a PES at a time, each one about when the one before has
// played out: this much in hand keeps the device fed through the decoder's jitter.
const int queueLeadMs = 80;
} // namespace

AudioOutput::AudioOutput() = default;

AudioOutput::~AudioOutput()
{
	close();
	swr_free(&resampler);
	av_channel_layout_uninit(&inLayout);
}

bool AudioOutput::open(std::string& error)
{
	if (device)
		return true;
	if (pcm)
	{
		// The queue is laid out for the device's first format; another may differ.
		error = "the sound device cannot be opened a second time";
		return false;
	}
	if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
	{
		error = std::string("no sound (") + SDL_GetError() + ")";
		return false;
	}
	SDL_AudioSpec want{};
	want.freq = wantedRate;
	want.format = AUDIO_S16SYS;
	want.channels = wantedChannels;
	want.samples = deviceFrames;
	want.callback = &AudioOutput::fill;
	want.userdata = this;
	SDL_AudioSpec have{};
	const SDL_AudioDeviceID id = SDL_OpenAudioDevice(
		nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE);
	if (id == 0)
	{
		error = std::string("no sound device (") + SDL_GetError() + ")";
		SDL_QuitSubSystem(SDL_INIT_AUDIO);
		return false;
	}
	pcm = std::make_unique<AudioQueue>(have.freq, have.channels, queueCapacityMs, queueLeadMs);
	callbackQueue.store(pcm.get(), std::memory_order_release);
	device = id;
	eDebug("[audio] %s: %d Hz, %d channels", SDL_GetCurrentAudioDriver(), have.freq, int(have.channels));
	SDL_PauseAudioDevice(device, 0);
	return true;
}

void AudioOutput::close()
{
	if (!device)
		return;
	// Waits for a callback in progress: after this SDL's thread no longer reads the queue.
	SDL_CloseAudioDevice(device);
	device = 0;
	SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void AudioOutput::fill(void* self, uint8_t* stream, int len)
{
	AudioQueue* queue = static_cast<AudioOutput*>(self)->callbackQueue.load(std::memory_order_acquire);
	if (!queue)
	{
		std::fill(stream, stream + len, uint8_t(0));
		return;
	}
	const size_t frameBytes = sizeof(int16_t) * size_t(queue->channels());
	queue->pull(reinterpret_cast<int16_t*>(stream), size_t(len) / frameBytes);
}

bool AudioOutput::configure(const AVFrame& frame)
{
	if (staleResampler.exchange(false))
		swr_free(&resampler);
	if (resampler && frame.sample_rate == inRate && frame.format == inFormat &&
		av_channel_layout_compare(&frame.ch_layout, &inLayout) == 0)
		return true;
	swr_free(&resampler);
	av_channel_layout_uninit(&inLayout);
	inFormat = -1;
	AVChannelLayout outLayout;
	av_channel_layout_default(&outLayout, pcm->channels());
	// This libswresample takes the layouts by non-const pointer but only reads them.
	const int rc = swr_alloc_set_opts2(&resampler, &outLayout, AV_SAMPLE_FMT_S16, pcm->rate(),
		const_cast<AVChannelLayout*>(&frame.ch_layout), AVSampleFormat(frame.format), frame.sample_rate, 0, nullptr);
	av_channel_layout_uninit(&outLayout);
	if (rc < 0 || swr_init(resampler) < 0)
	{
		eWarning("[audio] cannot convert %d Hz %s sound", frame.sample_rate,
			av_get_sample_fmt_name(AVSampleFormat(frame.format)) ? av_get_sample_fmt_name(AVSampleFormat(frame.format))
																 : "?");
		swr_free(&resampler);
		return false;
	}
	inRate = frame.sample_rate;
	inFormat = frame.format;
	av_channel_layout_copy(&inLayout, &frame.ch_layout);
	return true;
}

void AudioOutput::push(const AVFrame& frame)
{
	if (!pcm || frame.nb_samples <= 0 || frame.sample_rate <= 0 || !configure(frame))
		return;
	// The resampler holds back a few input samples: what comes out now started that much
	// before the frame's own stamp.
	int64_t pts = AudioQueue::noPts;
	if (frame.pts != AV_NOPTS_VALUE)
		pts = frame.pts - swr_get_delay(resampler, AudioQueue::ptsPerSecond);
	const int room = int(av_rescale_rnd(
		swr_get_delay(resampler, frame.sample_rate) + frame.nb_samples, pcm->rate(), frame.sample_rate, AV_ROUND_UP));
	converted.resize(size_t(room) * size_t(pcm->channels()));
	uint8_t* outPlanes[] = {reinterpret_cast<uint8_t*>(converted.data())};
	const int made =
		swr_convert(resampler, outPlanes, room, const_cast<const uint8_t**>(frame.extended_data), frame.nb_samples);
	if (made <= 0)
		return;
	// A stamp below zero (the resampler's delay at the very start) wraps like the stream's.
	if (pts != AudioQueue::noPts)
		pts = (pts % AudioQueue::ptsWrap + AudioQueue::ptsWrap) % AudioQueue::ptsWrap;
	pcm->push(converted.data(), size_t(made), pts);
}

void AudioOutput::setPaused(bool paused)
{
	if (pcm)
		pcm->setPaused(paused);
}

void AudioOutput::clear()
{
	if (pcm)
		pcm->clear();
	// What the resampler holds belongs to the stream that was dropped; it is the decoder
	// thread's to drop.
	staleResampler = true;
}

void AudioOutput::setVolume(int mute, int volume)
{
	if (pcm)
		pcm->setVolume(mute, volume);
}
