#ifndef OXLE_HOST_GPAINTER_H
#define OXLE_HOST_GPAINTER_H

#include "eRect.h"
#include "eString.h"
#include "gFont.h"
#include "gPixmap.h"

class eTextPara;

// A drawing context: a pixmap with an origin and a clip.
class gDC
{
public:
	explicit gDC(gPixmap* target) : pixmap(target) {}
	virtual ~gDC() = default;
	gPixmap& getPixmap() { return *pixmap; }

protected:
	gPixmap* pixmap;
};

class gPixmapDC : public gDC
{
public:
	explicit gPixmapDC(gPixmap* target) : gDC(target) {}
};

// The frame buffer's drawing context (the OSD plane).
class gFBDC : public gDC
{
public:
	static gFBDC* getInstance();

protected:
	explicit gFBDC(gPixmap* target) : gDC(target) {}
};

class gPainter
{
public:
	enum
	{
		BT_ALPHATEST = 1,
		BT_ALPHABLEND = 2
	};
	enum
	{
		RT_HALIGN_LEFT = 0,
		RT_HALIGN_RIGHT = 1,
		RT_HALIGN_CENTER = 2,
		RT_VALIGN_CENTER = 8,
		RT_WRAP = 16
	};

	explicit gPainter(gDC& dc, eRect clip = eRect());
	gPainter(gDC& dc, ePoint origin, eRect clip);
	~gPainter() = default;

	// 32-bit pixmaps carry their colours, so merging a palette maps nothing; kept
	// so that code written for paletted screens runs unchanged.
	void mergePalette(gPixmap& target);

	void setForegroundColor(const gColor& c) { foreground = c; }
	void setBackgroundColor(const gColor& c) { background = c; }
	void setFont(const gFont& f) { font = f; }

	void clear();
	void fill(const eRect& area);
	void blit(gPixmap& pixmap, ePoint pos, eRect clip = eRect(), int flags = 0);
	void renderPara(eTextPara& para, ePoint offset = ePoint());
	void renderText(const eRect& area, const eString& text, int flags = 0);
	void line(ePoint start, ePoint end);

	ePoint getOrigin() const { return origin; }
	gPixmap& target() { return dc.getPixmap(); }

private:
	eRect clipped(const eRect& r) const;
	gDC& dc;
	ePoint origin;
	eRect clip;
	gColor foreground, background;
	gFont font;
};

#endif
