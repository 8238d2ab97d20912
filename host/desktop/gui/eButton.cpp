#include "eButton.h"

#include "FocusUtil.h"
#include "eDesktopSkin.h"
#include "gPainter.h"

eButton::eButton(eWidget* parentWidget, eLabel* description, int focusable, const char* decorationName)
	: eLabel(parentWidget, flagVCenter, focusable, decorationName), descr(description)
{
	align = gPainter::RT_HALIGN_CENTER;
}

void eButton::redrawWidget(gPainter* painter, const eRect& area)
{
	if (hasFocus(this))
	{
		// The focused button stands out in the selection colours.
		eDesktopSkin* skin = eDesktopSkin::active();
		const gColor bg = backgroundColor, fg = foregroundColor;
		painter->setForegroundColor(skin->queryColor("global.selected.background"));
		painter->fill(area);
		foregroundColor = skin->queryColor("global.selected.foreground");
		eLabel::redrawWidget(painter, area);
		backgroundColor = bg;
		foregroundColor = fg;
		return;
	}
	eLabel::redrawWidget(painter, area);
}

int eButton::eventHandler(const eWidgetEvent& ev)
{
	if (ev.type == eWidgetEvent::evtAction && ev.action == &i_cursorActions->ok)
	{
		pressed();
		return 1;
	}
	return eLabel::eventHandler(ev);
}

void eButton::pressed()
{
	selected.emit();
}
