#include "PictureConverter.h"

extern "C"
{
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

PictureConverter::~PictureConverter()
{
	sws_freeContext(scaler);
}

bool PictureConverter::convert(const AVFrame& picture)
{
	if (picture.width <= 0 || picture.height <= 0 || picture.format < 0)
		return false;
	// RGB32 is native-endian 0xAARRGGBB, the layout of our uint32_t pixels.
	scaler = sws_getCachedContext(scaler, picture.width, picture.height, AVPixelFormat(picture.format), picture.width,
		picture.height, AV_PIX_FMT_RGB32, SWS_BILINEAR, nullptr, nullptr, nullptr);
	if (!scaler)
		return false;
	w = picture.width;
	h = picture.height;
	argb.resize(size_t(w) * size_t(h));
	uint8_t* planes[4] = {reinterpret_cast<uint8_t*>(argb.data()), nullptr, nullptr, nullptr};
	int strides[4] = {w * 4, 0, 0, 0};
	int rows = sws_scale(scaler, picture.data, picture.linesize, 0, h, planes, strides);
	return rows == h;
}
