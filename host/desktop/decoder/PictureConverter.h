#ifndef OXLE_DESKTOP_PICTURECONVERTER_H
#define OXLE_DESKTOP_PICTURECONVERTER_H

#include <cstdint>
#include <vector>

extern "C"
{
#include <libavutil/frame.h>
}

struct SwsContext;

// Turns decoded pictures into 32-bit ARGB (0xAARRGGBB in a uint32_t), full size.
// Keeps its scaler and buffer between pictures of the same format. Not thread-safe.
class PictureConverter
{
public:
	PictureConverter() = default;
	~PictureConverter();
	PictureConverter(const PictureConverter&) = delete;
	PictureConverter& operator=(const PictureConverter&) = delete;

	// False when the picture's format cannot be converted.
	bool convert(const AVFrame& picture);
	const uint32_t* pixels() const { return argb.data(); }
	int width() const { return w; }
	int height() const { return h; }

private:
	SwsContext* scaler = nullptr;
	std::vector<uint32_t> argb;
	int w = 0, h = 0;
};

#endif
