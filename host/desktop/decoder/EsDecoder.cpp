#include "EsDecoder.h"

#include "eDebug.h"

#include <climits>

EsDecoder::EsDecoder(AVCodecID codec) : codecId(codec)
{
	if (!open())
		eWarning("[decoder] no libavcodec decoder for %s", avcodec_get_name(codec));
}

EsDecoder::~EsDecoder()
{
	close();
}

bool EsDecoder::open()
{
	const AVCodec* c = avcodec_find_decoder(codecId);
	if (!c)
		return false;
	context = avcodec_alloc_context3(c);
	parser = av_parser_init(codecId);
	packet = av_packet_alloc();
	frame = av_frame_alloc();
	if (!context || !parser || !packet || !frame)
	{
		close();
		return false;
	}
	// One thread: frame threading would hold pictures back and make counts lag.
	context->thread_count = 1;
	if (avcodec_open2(context, c, nullptr) < 0)
	{
		close();
		return false;
	}
	return true;
}

void EsDecoder::close()
{
	if (parser)
		av_parser_close(parser);
	parser = nullptr;
	avcodec_free_context(&context);
	av_packet_free(&packet);
	av_frame_free(&frame);
}

void EsDecoder::reset()
{
	if (!ok())
		return;
	avcodec_flush_buffers(context);
	// A parser cannot be flushed without handing out what it holds; a new one forgets it.
	av_parser_close(parser);
	parser = av_parser_init(codecId);
}

void EsDecoder::decode(const uint8_t* data, size_t size, const FrameHandler& onFrame, int64_t pts)
{
	if (!ok())
		return;
	while (size > 0)
	{
		int chunk = size > size_t(INT_MAX) ? INT_MAX : int(size);
		uint8_t* out = nullptr;
		int outSize = 0;
		int used = av_parser_parse2(parser, context, &out, &outSize, data, chunk, pts, AV_NOPTS_VALUE, 0);
		if (used < 0)
		{
			errorCount++;
			return;
		}
		data += used;
		size -= size_t(used);
		if (outSize > 0)
		{
			packet->data = out;
			packet->size = outSize;
			packet->pts = parser->pts;
			sendPacket(packet, onFrame);
		}
		if (used == 0 && outSize == 0)
			break; // the parser took nothing and gave nothing: avoid spinning
	}
}

void EsDecoder::drain(const FrameHandler& onFrame)
{
	if (!ok())
		return;
	uint8_t* out = nullptr;
	int outSize = 0;
	av_parser_parse2(parser, context, &out, &outSize, nullptr, 0, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
	if (outSize > 0)
	{
		packet->data = out;
		packet->size = outSize;
		packet->pts = parser->pts;
		sendPacket(packet, onFrame);
	}
	sendPacket(nullptr, onFrame);
	reset(); // the codec is in draining mode now; make it usable again
}

void EsDecoder::sendPacket(AVPacket* pkt, const FrameHandler& onFrame)
{
	int rc = avcodec_send_packet(context, pkt);
	if (rc == AVERROR(EAGAIN))
	{
		receiveFrames(onFrame);
		rc = avcodec_send_packet(context, pkt);
	}
	if (rc < 0 && rc != AVERROR_EOF)
		errorCount++;
	receiveFrames(onFrame);
}

void EsDecoder::receiveFrames(const FrameHandler& onFrame)
{
	for (;;)
	{
		int rc = avcodec_receive_frame(context, frame);
		if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
			return;
		if (rc < 0)
		{
			errorCount++;
			return;
		}
		frameCount++;
		if (frame->decode_error_flags || (frame->flags & AV_FRAME_FLAG_CORRUPT))
			errorCount++;
		if (onFrame)
			onFrame(*frame);
		av_frame_unref(frame);
	}
}
