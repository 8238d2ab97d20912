#ifndef OXLE_DESKTOP_ESDECODER_H
#define OXLE_DESKTOP_ESDECODER_H

#include <cstddef>
#include <cstdint>
#include <functional>

extern "C"
{
#include <libavcodec/avcodec.h>
}

// One elementary-stream decoder: a libavcodec parser that cuts the byte stream into
// frames, and the codec that decodes them. Not thread-safe: one owner feeds it.
class EsDecoder
{
public:
	using FrameHandler = std::function<void(const AVFrame&)>;

	explicit EsDecoder(AVCodecID codec);
	~EsDecoder();
	EsDecoder(const EsDecoder&) = delete;
	EsDecoder& operator=(const EsDecoder&) = delete;

	// False when the codec or parser is missing from the libavcodec at hand.
	bool ok() const { return context && parser; }
	AVCodecID codec() const { return codecId; }

	// Decodes bytes of the elementary stream; every finished frame goes to onFrame. pts
	// (the PES's stamp) goes to the first frame that starts in these bytes.
	void decode(const uint8_t* data, size_t size, const FrameHandler& onFrame, int64_t pts = AV_NOPTS_VALUE);
	// Pushes out what the parser and the codec still hold (end of stream).
	void drain(const FrameHandler& onFrame);
	// Drops all state, as for a jump in the stream.
	void reset();

	long long frames() const { return frameCount; }
	long long errors() const { return errorCount; }

private:
	bool open();
	void close();
	void sendPacket(AVPacket* pkt, const FrameHandler& onFrame);
	void receiveFrames(const FrameHandler& onFrame);

	AVCodecID codecId;
	AVCodecContext* context = nullptr;
	AVCodecParserContext* parser = nullptr;
	AVPacket* packet = nullptr;
	AVFrame* frame = nullptr;
	long long frameCount = 0;
	long long errorCount = 0;
};

#endif
