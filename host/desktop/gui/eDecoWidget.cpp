#include "eDecoWidget.h"

#include "eDesktopSkin.h"
#include "gPainter.h"

eDecoWidget::eDecoWidget(eWidget* parentWidget, int focusable, const char* deco)
	: eWidget(parentWidget, focusable), decoration(deco ? deco : "")
{
	if (!decoration.empty())
		loadDeco();
}

bool eDecoWidget::loadDeco()
{
	const eDesktopSkin::Decoration* d =
		decoration.empty() ? nullptr : eDesktopSkin::active()->queryDecoration(decoration);
	decoLoaded = d != nullptr;
	decoBorder = d ? d->border : gColor();
	decoBorderWidth = d ? d->borderWidth : 0;
	invalidate();
	return decoLoaded;
}

void eDecoWidget::drawDecoration(gPainter* painter, const eRect& area)
{
	(void)area;
	if (!decoLoaded || decoBorderWidth <= 0 || !decoBorder.valid)
		return;
	const eRect r = getAbsoluteRect();
	const int b = decoBorderWidth;
	painter->setForegroundColor(decoBorder);
	painter->fill(eRect(r.left(), r.top(), r.width(), b));
	painter->fill(eRect(r.left(), r.bottom() - b, r.width(), b));
	painter->fill(eRect(r.left(), r.top(), b, r.height()));
	painter->fill(eRect(r.right() - b, r.top(), b, r.height()));
}
