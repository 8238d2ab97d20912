#include "gPixmap.h"

gPixmap::gPixmap(int width, int height)
	: x(width > 0 ? width : 0), y(height > 0 ? height : 0), data(size_t(x) * size_t(y), 0u)
{
}

gPixmap::~gPixmap() = default;

void gPixmap::fill(const eRect& area, gRGB color)
{
	const eRect r = area.intersect(eRect(0, 0, x, y));
	if (r.isNull())
		return;
	const uint32_t value = color.argb();
	for (int py = r.top(); py < r.bottom(); ++py)
	{
		uint32_t* line = row(py);
		for (int px = r.left(); px < r.right(); ++px)
			line[px] = value;
	}
}
