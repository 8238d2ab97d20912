#include "ScreenShot.h"

#include <png.h>

namespace
{
const int channels = 3;
}

bool ScreenShot::load(const std::string& path)
{
	png_image image{};
	image.version = PNG_IMAGE_VERSION;
	if (!png_image_begin_read_from_file(&image, path.c_str()))
		return false;
	image.format = PNG_FORMAT_RGB;
	std::vector<uint8_t> bytes(PNG_IMAGE_SIZE(image));
	if (!png_image_finish_read(&image, nullptr, bytes.data(), 0, nullptr))
	{
		png_image_free(&image);
		return false;
	}
	w = int(image.width);
	h = int(image.height);
	rgb = std::move(bytes);
	return true;
}

ScreenShot::Rgb ScreenShot::at(int x, int y) const
{
	Rgb p;
	if (x < 0 || y < 0 || x >= w || y >= h)
		return p;
	const size_t i = (size_t(y) * size_t(w) + size_t(x)) * channels;
	p.r = rgb[i];
	p.g = rgb[i + 1];
	p.b = rgb[i + 2];
	return p;
}
