#include "PesDecoder.h"

extern "C"
{
#include <libavutil/log.h>
}

namespace
{
const int audioTypeAc3 = 1;
const int audioTypeAc3Dvd = 3;
// DVD private stream 1 puts a substream header (id 0x80..0x87, frame count, first access
// unit) in front of the AC-3 data.
const uint8_t dvdAc3FirstId = 0x80;
const uint8_t dvdAc3LastId = 0x87;
const size_t dvdSubstreamHeader = 4;
} // namespace

PesDecoder::PesDecoder() : videoDecoder(AV_CODEC_ID_MPEG2VIDEO), mpegAudio(AV_CODEC_ID_MP2), ac3Audio(AV_CODEC_ID_AC3)
{
	// Damaged input is normal here (wrong PIDs, cut streams); the counts tell the story,
	// a torrent of codec complaints on stderr would not.
	av_log_set_level(AV_LOG_FATAL);
}

EsDecoder& PesDecoder::audioDecoder()
{
	// The MPEG audio decoder takes all three layers, so MP3 needs no code of its own.
	return (audioType == audioTypeAc3 || audioType == audioTypeAc3Dvd) ? ac3Audio : mpegAudio;
}

void PesDecoder::video(const TsDemux::Pes& pes, const PictureHandler& onPicture)
{
	videoDecoder.decode(
		pes.payload, pes.size,
		[&](const AVFrame& f) {
			pictures++;
			if (onPicture)
				onPicture(f);
		},
		pes.pts >= 0 ? pes.pts : AV_NOPTS_VALUE);
}

void PesDecoder::audio(const TsDemux::Pes& pes, const SoundHandler& onSound)
{
	const uint8_t* p = pes.payload;
	size_t n = pes.size;
	if (audioType == audioTypeAc3Dvd && n >= dvdSubstreamHeader && p[0] >= dvdAc3FirstId && p[0] <= dvdAc3LastId)
	{
		p += dvdSubstreamHeader;
		n -= dvdSubstreamHeader;
	}
	audioDecoder().decode(
		p, n,
		[&](const AVFrame& f) {
			audioCount++;
			if (onSound)
				onSound(f);
		},
		pes.pts >= 0 ? pes.pts : AV_NOPTS_VALUE);
}

void PesDecoder::drain(const PictureHandler& onPicture, const SoundHandler& onSound)
{
	videoDecoder.drain([&](const AVFrame& f) {
		pictures++;
		if (onPicture)
			onPicture(f);
	});
	audioDecoder().drain([&](const AVFrame& f) {
		audioCount++;
		if (onSound)
			onSound(f);
	});
}

void PesDecoder::reset()
{
	videoDecoder.reset();
	mpegAudio.reset();
	ac3Audio.reset();
}

void PesDecoder::clearCounts()
{
	pictures = audioCount = 0;
	errorsBefore = videoDecoder.errors() + mpegAudio.errors() + ac3Audio.errors();
}

long long PesDecoder::errors() const
{
	return videoDecoder.errors() + mpegAudio.errors() + ac3Audio.errors() - errorsBefore;
}
