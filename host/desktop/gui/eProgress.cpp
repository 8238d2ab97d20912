#include "eProgress.h"

#include <cstdlib>

#include "FocusUtil.h"
#include "eDesktopSkin.h"
#include "gPainter.h"

namespace
{
const int percentFull = 100;
}

eProgress::eProgress(eWidget* parentWidget, int focusable) : eDecoWidget(parentWidget, focusable)
{
	eDesktopSkin* skin = eDesktopSkin::active();
	left = skin->queryColor("eProgress.left");
	right = skin->queryColor("eProgress.right");
}

void eProgress::setPerc(int p)
{
	p = p < 0 ? 0 : (p > percentFull ? percentFull : p);
	if (p == perc)
		return;
	perc = p;
	invalidate();
}

int eProgress::setProperty(const eString& prop, const eString& value)
{
	eDesktopSkin* skin = eDesktopSkin::active();
	if (prop == "leftColor")
		setLeftColor(skin->parseColor(value));
	else if (prop == "rightColor")
		setRightColor(skin->parseColor(value));
	else if (prop == "border")
	{
		border = atoi(value.c_str());
		invalidate();
	}
	else if (prop == "perc")
		setPerc(atoi(value.c_str()));
	else
		return eDecoWidget::setProperty(prop, value);
	return 0;
}

void eProgress::redrawWidget(gPainter* painter, const eRect& area)
{
	(void)area;
	const eRect r = getAbsoluteRect();
	int b = border < 0 ? 0 : border;
	if (2 * b > r.width() || 2 * b > r.height())
		b = 0;
	if (b > 0)
	{
		eDesktopSkin* skin = eDesktopSkin::active();
		painter->setForegroundColor(
			skin->queryColor(hasFocus(this) && takesFocus() ? "global.selected.background" : "eProgress.border"));
		painter->fill(eRect(r.left(), r.top(), r.width(), b));
		painter->fill(eRect(r.left(), r.bottom() - b, r.width(), b));
		painter->fill(eRect(r.left(), r.top(), b, r.height()));
		painter->fill(eRect(r.right() - b, r.top(), b, r.height()));
	}
	const eRect inner(r.left() + b, r.top() + b, r.width() - 2 * b, r.height() - 2 * b);
	const int split = inner.width() * perc / percentFull;
	if (left.valid)
	{
		painter->setForegroundColor(left);
		painter->fill(eRect(inner.left(), inner.top(), split, inner.height()));
	}
	if (right.valid)
	{
		painter->setForegroundColor(right);
		painter->fill(eRect(inner.left() + split, inner.top(), inner.width() - split, inner.height()));
	}
}
