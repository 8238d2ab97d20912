#ifndef OXLE_DESKTOP_TEXTPARAIMPL_H
#define OXLE_DESKTOP_TEXTPARAIMPL_H

#include <cstdint>
#include <vector>

#include "FontLibrary.h"
#include "eTextPara.h"
#include "gPixmap.h"

// The laid-out paragraph. Glyph positions are in the coordinates of the paragraph's
// area (its origin is the area's coordinate system, not its corner); y is the baseline.
struct eTextPara::Impl
{
	struct Placed
	{
		const FontLibrary::Glyph* glyph;
		int x, y;
		size_t line;
	};
	struct Line
	{
		int width = 0; // inked advance from the area's left edge, trailing blanks excluded
	};

	gFont font;
	eString text; // everything rendered so far: renderString appends
	bool wrap = false;
	std::vector<Placed> glyphs;
	std::vector<Line> lines;
	FontLibrary::Metrics metrics;

	void layout(const eRect& area);
	// gPainter's RT_HALIGN_* and RT_VALIGN_CENTER flags.
	void align(const eRect& area, int rtFlags);
	eRect boundBox() const;
	// What must lie inside an area for the text to show whole: across, the pen's run
	// along each line (ink may overhang an advance by a pixel, as on any screen); down,
	// the ink.
	eRect extent() const;
	// Height of the laid-out lines, as opposed to the ink.
	int blockHeight() const;
	// Draws every glyph moved by offset in colour, clipped to clip (target coordinates).
	void draw(gPixmap& target, ePoint offset, const eRect& clip, uint32_t color) const;
};

// UTF-8 to code points; a byte that does not start a valid sequence stands for itself
// (Latin-1), so that any byte string shows something.
std::vector<uint32_t> decodeUtf8(const eString& text);

#endif
