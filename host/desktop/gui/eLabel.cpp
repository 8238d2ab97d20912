#include "eLabel.h"

#include "Screen.h"
#include "eDesktopSkin.h"
#include "gPainter.h"

namespace
{
const int shortcutGap = 6;
// Text keeps off a drawn frame by this much.
const int framedTextIndent = 4;

bool isOn(const eString& value)
{
	return value.empty() || value == "on" || value == "1" || value == "true";
}
} // namespace

eLabel::eLabel(eWidget* parentWidget, int labelFlags, int focusable, const char* decorationName)
	: eDecoWidget(parentWidget, focusable, decorationName), flags(labelFlags)
{
	// Labels standing on their own over the picture need a backdrop to be readable.
	if (!parent || Screen::instance().isDesktop(parent))
	{
		eDesktopSkin* skin = eDesktopSkin::active();
		backgroundColor = skin->queryColor("eLabel.osd.background");
		foregroundColor = skin->queryColor("eLabel.osd.foreground");
	}
}

eLabel::~eLabel() = default;

int eLabel::setProperty(const eString& prop, const eString& value)
{
	if (prop == "align")
	{
		if (value == "center")
			align = gPainter::RT_HALIGN_CENTER;
		else if (value == "right")
			align = gPainter::RT_HALIGN_RIGHT;
		else
			align = gPainter::RT_HALIGN_LEFT;
	}
	else if (prop == "vcenter")
		flags = isOn(value) ? (flags | flagVCenter) : (flags & ~flagVCenter);
	else if (prop == "wrap")
		flags = isOn(value) ? (flags | flagWrap) : (flags & ~flagWrap);
	else if (prop == "alphatest")
	{
		// Kept in the blit flags too: they are what tells the background to stay clear.
		alphatest = isOn(value);
		blitFlags = alphatest ? (blitFlags | gPainter::BT_ALPHATEST) : (blitFlags & ~gPainter::BT_ALPHATEST);
	}
	else if (prop == "pixmap")
		setPixmap(eDesktopSkin::active()->queryImage(value));
	else
		return eDecoWidget::setProperty(prop, value);
	invalidate();
	return 0;
}

void eLabel::setShortcutPixmap(const eString& shortcutName)
{
	shortcutPixmap = eDesktopSkin::active()->shortcutImage(shortcutName);
	invalidate();
}

void eLabel::redrawWidget(gPainter* painter, const eRect& area)
{
	drawDecoration(painter, area);
	const eRect outer = getAbsoluteRect();
	eRect r(outer.left() + decoBorderWidth, outer.top() + decoBorderWidth, outer.width() - 2 * decoBorderWidth,
		outer.height() - 2 * decoBorderWidth);
	if (pixmap)
	{
		int blit = blitFlags;
		if (alphatest)
			blit |= gPainter::BT_ALPHATEST;
		painter->blit(*pixmap, r.topLeft(), eRect(), blit);
		return;
	}
	if (shortcutPixmap)
	{
		const int y = r.top() + (r.height() - shortcutPixmap->height()) / 2;
		painter->blit(*shortcutPixmap, ePoint(r.left(), y), eRect(), gPainter::BT_ALPHATEST);
		const int shift = shortcutPixmap->width() + shortcutGap;
		r = eRect(r.left() + shift, r.top(), r.width() - shift, r.height());
	}
	if (text.empty())
		return;
	if (decoBorderWidth > 0)
		r = eRect(r.left() + framedTextIndent, r.top(), r.width() - 2 * framedTextIndent, r.height());
	eDesktopSkin* skin = eDesktopSkin::active();
	painter->setForegroundColor(foregroundColor.valid ? foregroundColor : skin->queryColor("global.normal.foreground"));
	painter->setFont(font.isNull() ? skin->queryFont("global.normal") : font);
	int rt = align;
	if (flags & flagVCenter)
		rt |= gPainter::RT_VALIGN_CENTER;
	if (flags & flagWrap)
		rt |= gPainter::RT_WRAP;
	painter->renderText(r, text, rt);
}

void eLabel::eraseBackground(gPainter* painter, const eRect& area)
{
	// A picture blitted with alpha test or blend lets what lies below show through its
	// transparent pixels, so the label under it must not cover that.
	if (pixmap && (blitFlags & (gPainter::BT_ALPHATEST | gPainter::BT_ALPHABLEND)))
		return;
	eDecoWidget::eraseBackground(painter, area);
}
