#include "eWindow.h"

#include <vector>

#include "eDesktopSkin.h"
#include "gPainter.h"

namespace
{
const int titleTextIndent = 10;

void collectFocusable(eWidget* w, std::vector<eWidget*>& out)
{
	for (eWidget* child : w->getChildren())
	{
		if (!child->isShown())
			continue;
		if (child->takesFocus())
			out.push_back(child);
		collectFocusable(child, out);
	}
}

void tellFocusHelp(eWidget* w, eWidget* source)
{
	for (eWidget* child : w->getChildren())
	{
		child->focusHelpChanged(source);
		tellFocusHelp(child, source);
	}
}

// A shortcut key presses the first shown widget with that shortcut that takes OK (a
// button); a label that only shows the key's picture lets the search go on.
int pressShortcut(eWidget* w, const eString& key)
{
	for (eWidget* child : w->getChildren())
	{
		if (!child->isShown())
			continue;
		if (child->getShortcut() == key)
		{
			if (int handled = child->event(eWidgetEvent(eWidgetEvent::evtAction, &i_cursorActions->ok)))
				return handled;
		}
		if (int handled = pressShortcut(child, key))
			return handled;
	}
	return 0;
}
} // namespace

const int eWindow::titleBarHeight;
const int eWindow::borderWidth;

eWindow::eWindow(int focusable) : eWidget(nullptr, focusable)
{
	eDesktopSkin* skin = eDesktopSkin::active();
	backgroundColor = skin->queryColor("eWindow.background");
	foregroundColor = skin->queryColor("eWindow.foreground");
}

eWindow::~eWindow() = default;

void eWindow::cmove(ePoint p)
{
	move(p - getClientOffset());
}

void eWindow::cresize(eSize s)
{
	resize(eSize(s.w + 2 * borderWidth, s.h + titleBarHeight + 2 * borderWidth));
}

eSize eWindow::getClientSize() const
{
	const eSize s = getSize();
	return eSize(s.w - 2 * borderWidth, s.h - titleBarHeight - 2 * borderWidth);
}

ePoint eWindow::getClientOffset() const
{
	return ePoint(borderWidth, borderWidth + titleBarHeight);
}

void eWindow::redrawWidget(gPainter* painter, const eRect& area)
{
	(void)area;
	eDesktopSkin* skin = eDesktopSkin::active();
	const eRect r = getAbsoluteRect();
	painter->setForegroundColor(skin->queryColor("eWindow.border"));
	painter->fill(eRect(r.left(), r.top(), r.width(), borderWidth));
	painter->fill(eRect(r.left(), r.bottom() - borderWidth, r.width(), borderWidth));
	painter->fill(eRect(r.left(), r.top(), borderWidth, r.height()));
	painter->fill(eRect(r.right() - borderWidth, r.top(), borderWidth, r.height()));
	const eRect title(r.left() + borderWidth, r.top() + borderWidth, r.width() - 2 * borderWidth, titleBarHeight);
	painter->setForegroundColor(skin->queryColor("eWindow.titleBar"));
	painter->fill(title);
	painter->setForegroundColor(skin->queryColor("eWindow.titleBarText"));
	painter->setFont(skin->queryFont("global.large"));
	const eRect titleText(
		title.left() + titleTextIndent, title.top(), title.width() - 2 * titleTextIndent, title.height());
	painter->renderText(titleText, text, gPainter::RT_VALIGN_CENTER);
}

void eWindow::helpTextChanged(eWidget* source)
{
	if (focus && source != focus)
		return;
	tellFocusHelp(this, source);
}

int eWindow::eventHandler(const eWidgetEvent& ev)
{
	if (ev.type != eWidgetEvent::evtAction)
		return eWidget::eventHandler(ev);
	if (int handled = passToFocus(ev))
		return handled;
	const eAction* action = ev.action;
	if (action == &i_cursorActions->cancel)
	{
		close(-1);
		return 1;
	}
	if (action == &i_cursorActions->up || action == &i_cursorActions->down)
	{
		// Up and Down that the focused widget leaves alone walk the focus.
		std::vector<eWidget*> order;
		collectFocusable(this, order);
		if (order.empty())
			return 0;
		size_t at = 0;
		while (at < order.size() && order[at] != focus)
			++at;
		const bool forward = action == &i_cursorActions->down;
		size_t next;
		if (at == order.size())
			next = forward ? 0 : order.size() - 1;
		else if (forward)
			next = at + 1 < order.size() ? at + 1 : at;
		else
			next = at > 0 ? at - 1 : at;
		if (next == at)
			return 0;
		setFocus(order[next]);
		return 1;
	}
	if (action && action->getMap() == &i_shortcutActions->map && !action->getIdentifier().empty())
		return pressShortcut(this, action->getIdentifier());
	return 0;
}
