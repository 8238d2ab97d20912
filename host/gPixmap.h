#ifndef OXLE_HOST_GPIXMAP_H
#define OXLE_HOST_GPIXMAP_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "eRect.h"

// A colour as the host's skins name it. The desktop draws in 32-bit ARGB, so a
// colour is its ARGB value; alpha 0 is opaque, 0xff fully transparent, as on the box.
struct gRGB
{
	uint8_t b = 0, g = 0, r = 0, a = 0;
	gRGB() = default;
	gRGB(int r_, int g_, int b_, int a_ = 0) : b(uint8_t(b_)), g(uint8_t(g_)), r(uint8_t(r_)), a(uint8_t(a_)) {}
	explicit gRGB(uint32_t argb)
		: b(uint8_t(argb)), g(uint8_t(argb >> 8)), r(uint8_t(argb >> 16)), a(uint8_t(argb >> 24))
	{
	}
	uint32_t argb() const { return (uint32_t(a) << 24) | (uint32_t(r) << 16) | (uint32_t(g) << 8) | b; }
	bool operator==(const gRGB& o) const { return argb() == o.argb(); }
	bool operator!=(const gRGB& o) const { return !(*this == o); }
};

// Widget and list colours are handed around as gColor; on the desktop it carries the
// colour itself.
struct gColor
{
	gRGB color;
	bool valid = false;
	gColor() = default;
	gColor(const gRGB& c) : color(c), valid(true) {}
	bool operator==(const gColor& o) const { return valid == o.valid && color == o.color; }
	bool operator!=(const gColor& o) const { return !(*this == o); }
};

// A picture in memory: 32-bit pixels, row by row.
class gPixmap
{
public:
	gPixmap(int width, int height);
	virtual ~gPixmap();

	eSize getSize() const { return eSize(x, y); }
	int width() const { return x; }
	int height() const { return y; }

	uint32_t pixel(int px, int py) const { return data[size_t(py) * size_t(x) + size_t(px)]; }
	void setPixel(int px, int py, uint32_t argb) { data[size_t(py) * size_t(x) + size_t(px)] = argb; }
	uint32_t* row(int py) { return data.data() + size_t(py) * size_t(x); }
	const uint32_t* row(int py) const { return data.data() + size_t(py) * size_t(x); }
	void fill(const eRect& area, gRGB color);

	const int x, y;

private:
	std::vector<uint32_t> data;
};

// Loads a PNG file into a new pixmap; null when the file is missing or unreadable.
// The caller owns the result.
gPixmap* loadPNG(const char* filename);

#endif
