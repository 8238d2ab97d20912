#include "eCheckbox.h"

#include "FocusUtil.h"
#include "eDesktopSkin.h"
#include "gPainter.h"

namespace
{
const int boxInset = 6;
const int boxMaxSide = 20;
const int boxFrame = 2;
const int textGap = 8;
} // namespace

eCheckbox::eCheckbox(eWidget* parentWidget, int initiallyChecked, int focusable, const char* decorationName)
	: eButton(parentWidget, nullptr, focusable, decorationName), ischecked(initiallyChecked ? 1 : 0)
{
	align = gPainter::RT_HALIGN_LEFT;
}

void eCheckbox::setCheck(int c)
{
	c = c ? 1 : 0;
	if (c == ischecked)
		return;
	ischecked = c;
	invalidate();
}

void eCheckbox::pressed()
{
	setCheck(!ischecked);
	checked.emit(ischecked);
	eButton::pressed();
}

void eCheckbox::redrawWidget(gPainter* painter, const eRect& area)
{
	eDesktopSkin* skin = eDesktopSkin::active();
	const bool focused = hasFocus(this);
	if (focused)
	{
		painter->setForegroundColor(skin->queryColor("global.selected.background"));
		painter->fill(area);
	}
	const gColor textColor = focused
		? skin->queryColor("global.selected.foreground")
		: (foregroundColor.valid ? foregroundColor : skin->queryColor("global.normal.foreground"));
	const eRect r = getAbsoluteRect();
	int side = r.height() - 2 * boxInset;
	side = side > boxMaxSide ? boxMaxSide : side;
	if (side > 2 * boxFrame)
	{
		const eRect box(r.left() + boxInset, r.top() + (r.height() - side) / 2, side, side);
		painter->setForegroundColor(textColor);
		painter->fill(box);
		painter->setForegroundColor(skin->queryColor("eCheckbox.box"));
		painter->fill(eRect(box.left() + boxFrame, box.top() + boxFrame, side - 2 * boxFrame, side - 2 * boxFrame));
		if (ischecked)
		{
			const int mark = 2 * boxFrame;
			painter->setForegroundColor(skin->queryColor("eCheckbox.check"));
			painter->fill(eRect(box.left() + mark, box.top() + mark, side - 2 * mark, side - 2 * mark));
		}
	}
	const int textLeft = r.left() + boxInset + (side > 0 ? side : 0) + textGap;
	painter->setForegroundColor(textColor);
	painter->setFont(font.isNull() ? skin->queryFont("global.normal") : font);
	painter->renderText(eRect(textLeft, r.top(), r.right() - textLeft, r.height()), text, gPainter::RT_VALIGN_CENTER);
}
