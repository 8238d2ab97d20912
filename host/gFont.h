#ifndef OXLE_HOST_GFONT_H
#define OXLE_HOST_GFONT_H

#include "eString.h"

// A font as the skin names it: a family and a pixel size.
struct gFont
{
	eString family;
	int pointSize = 0;
	gFont() = default;
	gFont(const eString& f, int size) : family(f), pointSize(size) {}
	bool isNull() const { return pointSize <= 0; }
};

#endif
