// Reading and writing PNG files through libpng's simplified interface, which converts
// every colour type, bit depth and transparency chunk to plain 8-bit RGBA for us.
#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "ColorBlend.h"
#include "Screen.h"
#include "eDebug.h"
#include "gPixmap.h"

namespace
{
const int bytesPerPixel = 4;
}

gPixmap* loadPNG(const char* filename)
{
	if (!filename || !*filename)
	{
		eWarning("loadPNG: no file name");
		return nullptr;
	}
	FILE* probe = fopen(filename, "rb");
	if (!probe)
	{
		eWarning("loadPNG: cannot open %s: %s", filename, strerror(errno));
		return nullptr;
	}
	fclose(probe);

	png_image image;
	memset(&image, 0, sizeof image);
	image.version = PNG_IMAGE_VERSION;
	if (!png_image_begin_read_from_file(&image, filename))
	{
		eWarning("loadPNG: %s is not a readable PNG: %s", filename, image.message);
		png_image_free(&image);
		return nullptr;
	}
	image.format = PNG_FORMAT_RGBA;
	std::vector<png_byte> buffer(PNG_IMAGE_SIZE(image));
	if (!png_image_finish_read(&image, nullptr, buffer.data(), 0, nullptr))
	{
		eWarning("loadPNG: %s is broken: %s", filename, image.message);
		png_image_free(&image);
		return nullptr;
	}
	auto* pixmap = new gPixmap(int(image.width), int(image.height));
	const png_byte* p = buffer.data();
	for (int py = 0; py < pixmap->height(); ++py)
	{
		uint32_t* line = pixmap->row(py);
		for (int px = 0; px < pixmap->width(); ++px, p += bytesPerPixel)
		{
			// PNG alpha is an opacity; the host's is a transparency.
			const uint32_t transparency = ColorBlend::full - p[3];
			line[px] = (transparency << 24) | (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
		}
	}
	return pixmap;
}

bool savePNG(const std::string& path, const uint32_t* argb, int width, int height)
{
	if (!argb || width <= 0 || height <= 0)
	{
		eWarning("savePNG: %s: no picture to write (%dx%d)", path.c_str(), width, height);
		return false;
	}
	const size_t count = size_t(width) * size_t(height);
	// Opaque pictures (every screen snapshot) are written as RGB; others keep their alpha.
	bool opaque = true;
	for (size_t i = 0; i < count && opaque; ++i)
		opaque = (argb[i] >> 24) == 0;
	const int channels = opaque ? 3 : 4;
	std::vector<png_byte> buffer(count * size_t(channels));
	png_byte* p = buffer.data();
	for (size_t i = 0; i < count; ++i)
	{
		*p++ = png_byte(argb[i] >> 16);
		*p++ = png_byte(argb[i] >> 8);
		*p++ = png_byte(argb[i]);
		if (!opaque)
			*p++ = png_byte(ColorBlend::full - (argb[i] >> 24));
	}

	png_image image;
	memset(&image, 0, sizeof image);
	image.version = PNG_IMAGE_VERSION;
	image.width = png_uint_32(width);
	image.height = png_uint_32(height);
	image.format = opaque ? PNG_FORMAT_RGB : PNG_FORMAT_RGBA;
	if (!png_image_write_to_file(&image, path.c_str(), 0, buffer.data(), 0, nullptr))
	{
		eWarning("savePNG: cannot write %s: %s", path.c_str(), image.message);
		png_image_free(&image);
		return false;
	}
	return true;
}
