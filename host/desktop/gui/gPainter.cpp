#include "gPainter.h"

#include <cstdlib>

#include "ColorBlend.h"
#include "Screen.h"
#include "TextClipWatch.h"
#include "TextParaImpl.h"

// Painter coordinates are the target's moved by origin; the clip rectangle is in the
// target's own coordinates. A null clip means the whole target.

namespace
{
// shown: where the text may go, which can be less than where it is drawn.
void drawPara(
	gPixmap& target, const eTextPara& para, ePoint at, const eRect& bounds, const eRect& shown, uint32_t color)
{
	// Only what reaches the screen can be cut for the viewer; the journal's scratch
	// drawings of list rows are not.
	if (&target == &Screen::instance().osd())
		TextClipWatch::instance().drawn(para.impl()->text, para.impl()->boundBox().translated(at),
			para.impl()->extent().translated(at), shown.intersect(eRect(0, 0, target.width(), target.height())));
	para.impl()->draw(target, at, bounds, color);
}
} // namespace

gFBDC* gFBDC::getInstance()
{
	static gFBDC instance(&Screen::instance().osd());
	return &instance;
}

gPainter::gPainter(gDC& target, eRect clipArea) : dc(target), clip(clipArea)
{
}

gPainter::gPainter(gDC& target, ePoint at, eRect clipArea) : dc(target), origin(at), clip(clipArea)
{
}

void gPainter::mergePalette(gPixmap&)
{
}

eRect gPainter::clipped(const eRect& r) const
{
	gPixmap& pm = dc.getPixmap();
	eRect out = r.translated(origin).intersect(eRect(0, 0, pm.width(), pm.height()));
	if (!clip.isNull())
		out = out.intersect(clip);
	return out;
}

void gPainter::clear()
{
	gPixmap& pm = dc.getPixmap();
	const eRect all = clip.isNull() ? eRect(0, 0, pm.width(), pm.height()) : clip;
	pm.fill(all.intersect(eRect(0, 0, pm.width(), pm.height())), background.color);
}

void gPainter::fill(const eRect& area)
{
	dc.getPixmap().fill(clipped(area), foreground.color);
}

void gPainter::blit(gPixmap& pixmap, ePoint pos, eRect clipRect, int flags)
{
	eRect dest = clipped(eRect(pos, pixmap.getSize()));
	if (!clipRect.isNull())
		dest = dest.intersect(clipRect.translated(origin));
	if (dest.isNull())
		return;
	gPixmap& target = dc.getPixmap();
	const ePoint at = pos + origin;
	for (int py = dest.top(); py < dest.bottom(); ++py)
	{
		uint32_t* out = target.row(py);
		const uint32_t* in = pixmap.row(py - at.y);
		for (int px = dest.left(); px < dest.right(); ++px)
		{
			const uint32_t src = in[px - at.x];
			// Alpha test skips the clear pixels, as on the box; the half-clear rim of a
			// true-colour picture is mixed with what lies below rather than copied, which
			// would open a hole through the OSD to the video around every icon.
			if (flags & (BT_ALPHABLEND | BT_ALPHATEST))
				out[px] = ColorBlend::over(out[px], src);
			else
				out[px] = src;
		}
	}
}

void gPainter::renderPara(eTextPara& para, ePoint offset)
{
	gPixmap& pm = dc.getPixmap();
	const eRect bounds = clip.isNull() ? eRect(0, 0, pm.width(), pm.height()) : clip;
	drawPara(pm, para, origin + offset, bounds, bounds, foreground.color.argb());
}

void gPainter::renderText(const eRect& area, const eString& text, int flags)
{
	if (text.empty())
		return;
	eTextPara para(area);
	para.setFont(font);
	para.renderString(text, (flags & RT_WRAP) ? eTextPara::RS_WRAP : 0);
	para.impl()->align(area, flags);
	// A text is laid out for its area: spilling over the frame or indent around it is
	// as much a misfit as being cut.
	gPixmap& pm = dc.getPixmap();
	const eRect bounds = clip.isNull() ? eRect(0, 0, pm.width(), pm.height()) : clip;
	drawPara(pm, para, origin, bounds, bounds.intersect(area.translated(origin)), foreground.color.argb());
}

void gPainter::line(ePoint start, ePoint end)
{
	const eRect bounds = clipped(eRect(-origin.x, -origin.y, 1 << 16, 1 << 16));
	gPixmap& pm = dc.getPixmap();
	int x0 = start.x + origin.x, y0 = start.y + origin.y;
	const int x1 = end.x + origin.x, y1 = end.y + origin.y;
	const int dx = abs(x1 - x0), dy = -abs(y1 - y0);
	const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
	int err = dx + dy;
	for (;;)
	{
		if (bounds.contains(x0, y0))
			pm.setPixel(x0, y0, foreground.color.argb());
		if (x0 == x1 && y0 == y1)
			break;
		const int e2 = 2 * err;
		if (e2 >= dy)
		{
			err += dy;
			x0 += sx;
		}
		if (e2 <= dx)
		{
			err += dx;
			y0 += sy;
		}
	}
}
