#include "eWidget.h"

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "GuiJournal.h"
#include "Journal.h"
#include "ModalStack.h"
#include "Screen.h"
#include "eDebug.h"
#include "eDesktopSkin.h"
#include "eMainloop.h"
#include "gPainter.h"

namespace
{
bool parsePair(const eString& value, int& a, int& b)
{
	return sscanf(value.c_str(), "%d%*[,: x]%d", &a, &b) == 2;
}
} // namespace

eWidget::eWidget(eWidget* parentWidget, int focusable) : parent(parentWidget), takefocus(focusable)
{
	if (parent)
	{
		parent->children.push_back(this);
		// Children look like their parent until told otherwise, and show with it.
		backgroundColor = parent->backgroundColor;
		foregroundColor = parent->foregroundColor;
		shown = true;
	}
	Screen& screen = Screen::instance();
	if (screen.isScreenLevel(this))
		screen.addTopLevel(this);
}

eWidget::~eWidget()
{
	if (destroyedFlag)
		*destroyedFlag = true;
	if (executing)
	{
		const bool innermost = ModalStack::top() == this;
		ModalStack::remove(this);
		if (innermost && eApp)
			eApp->exit_loop();
	}
	const bool wasVisible = isVisible();
	// Each child unlinks itself from children as it goes.
	while (!children.empty())
		delete children.front();
	eWidget* tlw = getTLW();
	if (tlw != this && tlw->focus == this)
		tlw->focus = nullptr;
	if (parent)
		parent->children.remove(this);
	Screen& screen = Screen::instance();
	screen.removeTopLevel(this);
	if (wasVisible)
		screen.requestRedraw();
}

eWidget* eWidget::getTLW()
{
	const Screen& screen = Screen::instance();
	eWidget* w = this;
	while (w->parent && !screen.isDesktop(w->parent))
		w = w->parent;
	return w;
}

bool eWidget::isVisible() const
{
	for (const eWidget* w = this; w; w = w->parent)
		if (!w->shown)
			return false;
	return true;
}

void eWidget::show()
{
	if (shown)
		return;
	shown = true;
	if (!isVisible())
		return;
	// A window comes up with something focused, so that keys have a target.
	if (getTLW() == this && !focus)
	{
		std::list<eWidget*> pending(children.begin(), children.end());
		while (!pending.empty() && !focus)
		{
			eWidget* w = pending.front();
			pending.pop_front();
			if (w->takesFocus() && w->isShown())
				setFocus(w);
			pending.insert(pending.begin(), w->children.begin(), w->children.end());
		}
	}
	event(eWidgetEvent(eWidgetEvent::willShow));
	if (!parent)
		GuiJournal::window("show", this);
	Screen::instance().requestRedraw();
}

void eWidget::hide()
{
	if (!shown)
		return;
	const bool wasVisible = isVisible();
	shown = false;
	if (wasVisible)
		event(eWidgetEvent(eWidgetEvent::willHide));
	if (!parent)
		GuiJournal::window("hide", this);
	if (wasVisible)
		Screen::instance().requestRedraw();
}

void eWidget::move(ePoint p)
{
	if (p == position)
		return;
	const bool wasVisible = isVisible();
	position = p;
	event(eWidgetEvent(eWidgetEvent::changedPosition));
	if (!parent)
		GuiJournal::window("move", this);
	if (wasVisible)
		Screen::instance().requestRedraw();
}

void eWidget::resize(eSize s)
{
	if (s == size)
		return;
	size = s;
	event(eWidgetEvent(eWidgetEvent::changedSize));
	invalidate();
}

void eWidget::cmove(ePoint p)
{
	move(p);
}

void eWidget::cresize(eSize s)
{
	resize(s);
}

ePoint eWidget::getAbsolutePosition() const
{
	ePoint p = position;
	for (const eWidget* w = parent; w; w = w->parent)
		p = p + w->position + w->getClientOffset();
	return p;
}

eRect eWidget::getAbsoluteRect() const
{
	return eRect(getAbsolutePosition(), size);
}

void eWidget::setText(const eString& t)
{
	if (t == text)
		return;
	text = t;
	event(eWidgetEvent(eWidgetEvent::changedText));
	if (const char* ev = textEvent())
		Journal::instance().event(ev, {{"text", text}});
	invalidate();
}

void eWidget::setName(const char* n)
{
	name = n ? n : "";
}

eWidget* eWidget::search(const eString& n)
{
	for (eWidget* child : children)
	{
		if (child->name == n)
			return child;
		if (eWidget* found = child->search(n))
			return found;
	}
	return nullptr;
}

void eWidget::setFocus(eWidget* child)
{
	eWidget* tlw = getTLW();
	if (tlw != this)
	{
		tlw->setFocus(child);
		return;
	}
	if (focus == child)
		return;
	eWidget* old = focus;
	focus = child;
	if (old)
	{
		old->event(eWidgetEvent(eWidgetEvent::lostFocus));
		old->invalidate();
	}
	if (child)
	{
		child->event(eWidgetEvent(eWidgetEvent::gotFocus));
		child->invalidate();
		helpTextChanged(child);
	}
}

void eWidget::setHelpText(const eString& t)
{
	helptext = t;
	getTLW()->helpTextChanged(this);
}

void eWidget::setShortcut(const eString& s)
{
	shortcut = s;
}

void eWidget::setPixmap(gPixmap* pm)
{
	pixmap = pm;
	event(eWidgetEvent(eWidgetEvent::changedPixmap));
	invalidate();
}

void eWidget::addActionMap(eActionMap* map)
{
	if (map && std::find(actionmaps.begin(), actionmaps.end(), map) == actionmaps.end())
		actionmaps.push_back(map);
}

void eWidget::zOrderRaise()
{
	Screen& screen = Screen::instance();
	if (screen.isScreenLevel(this))
		screen.raise(this);
	else if (parent)
	{
		// Among siblings the box's GUI raises a widget to the head of its parent's list,
		// which is drawn first: the channel infobar raises its bar backgrounds so that
		// they stand behind the texts built over them.
		parent->children.remove(this);
		parent->children.push_front(this);
	}
	invalidate();
}

void eWidget::zOrderLower()
{
	Screen& screen = Screen::instance();
	if (screen.isScreenLevel(this))
		screen.lower(this);
	else if (parent)
	{
		parent->children.remove(this);
		parent->children.push_back(this);
	}
	invalidate();
}

void eWidget::setBackgroundColor(const gColor& c)
{
	backgroundColor = c;
	event(eWidgetEvent(eWidgetEvent::changedBackgroundColor));
	invalidate();
}

void eWidget::setForegroundColor(const gColor& c)
{
	foregroundColor = c;
	event(eWidgetEvent(eWidgetEvent::changedForegroundColor));
	invalidate();
}

void eWidget::setFont(const gFont& f)
{
	font = f;
	event(eWidgetEvent(eWidgetEvent::changedFont));
	invalidate();
}

int eWidget::exec()
{
	if (closeRequested)
	{
		closeRequested = false;
		return result;
	}
	if (!eApp)
	{
		eWarning("%s: exec without a main loop", className());
		return -1;
	}
	bool destroyed = false;
	destroyedFlag = &destroyed;
	executing = true;
	ModalStack::push(this);
	event(eWidgetEvent(eWidgetEvent::execBegin));
	// Another level may end ours early (a nested exec that swallowed the request), so
	// go on until this widget itself is closed.
	while (!destroyed && !closeRequested && !eApp->quitRequested())
		eApp->enter_loop();
	if (destroyed)
		return -1;
	destroyedFlag = nullptr;
	executing = false;
	ModalStack::remove(this);
	const int r = closeRequested ? result : -1;
	closeRequested = false;
	event(eWidgetEvent(eWidgetEvent::execDone));
	// An outer widget closed while we ran could not end its level then; it is the
	// innermost again now.
	eWidget* outer = ModalStack::top();
	if (outer && outer->closeRequested)
		eApp->exit_loop();
	return r;
}

void eWidget::close(int r)
{
	const bool already = closeRequested;
	result = r;
	closeRequested = true;
	if (!parent)
		GuiJournal::window("close", this);
	if (!already && executing && ModalStack::top() == this && eApp)
		eApp->exit_loop();
}

void eWidget::invalidate()
{
	if (isVisible())
		Screen::instance().requestRedraw();
}

int eWidget::setProperty(const eString& prop, const eString& value)
{
	int a = 0, b = 0;
	eDesktopSkin* skin = eDesktopSkin::active();
	if (prop == "position" && parsePair(value, a, b))
		move(ePoint(a, b));
	else if (prop == "cposition" && parsePair(value, a, b))
		cmove(ePoint(a, b));
	else if (prop == "size" && parsePair(value, a, b))
		resize(eSize(a, b));
	else if (prop == "csize" && parsePair(value, a, b))
		cresize(eSize(a, b));
	else if (prop == "text")
		setText(value);
	else if (prop == "name")
		setName(value.c_str());
	else if (prop == "helptext")
		setHelpText(value);
	else if (prop == "shortcut")
		setShortcut(value);
	else if (prop == "font")
		setFont(skin->parseFont(value));
	else if (prop == "backgroundColor")
		setBackgroundColor(skin->parseColor(value));
	else if (prop == "foregroundColor")
		setForegroundColor(skin->parseColor(value));
	else
		return -1;
	return 0;
}

void eWidget::redrawWidget(gPainter*, const eRect&)
{
}

void eWidget::eraseBackground(gPainter* painter, const eRect& area)
{
	if (!backgroundColor.valid)
		return;
	painter->setForegroundColor(backgroundColor);
	painter->fill(area);
}

void eWidget::helpTextChanged(eWidget*)
{
}

void eWidget::focusHelpChanged(eWidget*)
{
}

int eWidget::eventHandler(const eWidgetEvent& ev)
{
	switch (ev.type)
	{
	case eWidgetEvent::willShow:
		willShow();
		return 1;
	case eWidgetEvent::willHide:
		willHide();
		return 1;
	case eWidgetEvent::evtAction:
		return passToFocus(ev);
	default:
		return 0;
	}
}

int eWidget::passToFocus(const eWidgetEvent& ev)
{
	if (focus && focus != this && focus->isVisible())
		return focus->event(ev);
	return 0;
}
