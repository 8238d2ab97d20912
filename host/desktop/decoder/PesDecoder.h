#ifndef OXLE_DESKTOP_PESDECODER_H
#define OXLE_DESKTOP_PESDECODER_H

#include "EsDecoder.h"
#include "TsDemux.h"

// Decodes the PES packets of the programmed video and audio PIDs: MPEG-1/2 video, and
// MPEG audio or AC-3 as the decoder's audio type code says. Counts what it decodes.
// Not thread-safe: one owner feeds it.
class PesDecoder
{
public:
	// A decoded picture; its pts is its PES's in 90 kHz when the PES had one.
	using PictureHandler = EsDecoder::FrameHandler;
	// Decoded sound; its pts is the PES's in 90 kHz, or AV_NOPTS_VALUE for the frames
	// after the first of a PES.
	using SoundHandler = EsDecoder::FrameHandler;

	PesDecoder();

	// The audio type code of Decoder::parms: 0 MPEG audio, 1 AC-3, 3 AC-3 from a DVD.
	void setAudioType(int type) { audioType = type; }
	void video(const TsDemux::Pes& pes, const PictureHandler& onPicture);
	void audio(const TsDemux::Pes& pes, const SoundHandler& onSound = nullptr);
	// End of stream: decodes what the codecs still hold.
	void drain(const PictureHandler& onPicture, const SoundHandler& onSound = nullptr);
	// Forgets the stream in flight (new PIDs, a flush).
	void reset();

	void clearCounts();
	long long videoFrames() const { return pictures; }
	long long audioFrames() const { return audioCount; }
	long long errors() const;

private:
	EsDecoder& audioDecoder();

	EsDecoder videoDecoder, mpegAudio, ac3Audio;
	int audioType = 0;
	long long pictures = 0;
	long long audioCount = 0;
	long long errorsBefore = 0; // codec errors before the last clearCounts()
};

#endif
