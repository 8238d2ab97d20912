#include <algorithm>
#include <iterator>
#include <set>

#include "GuiJournal.h"
#include "TextClipWatch.h"
#include "eDesktopSkin.h"
#include "eListBox.h"
#include "eMainloop.h"
#include "gPainter.h"

namespace
{
// List boxes whose rows changed outside an atomic update and whose journal line waits
// for the next main-loop turn: a row appends itself from its base constructor, before
// its text exists. GUI thread only.
std::set<eListBoxBase*>& pendingJournal()
{
	static std::set<eListBoxBase*> lists;
	return lists;
}

void scheduleJournal(eListBoxBase* list)
{
	if (!eApp)
	{
		GuiJournal::list(list);
		return;
	}
	if (!pendingJournal().insert(list).second)
		return;
	eApp->post([list] {
		if (pendingJournal().erase(list))
			GuiJournal::list(list);
	});
}

void journalNow(eListBoxBase* list)
{
	pendingJournal().erase(list);
	GuiJournal::list(list);
}
} // namespace

eListBoxBase::eListBoxBase(eWidget* parentWidget, int ownEntryHeight, int focusable, const char* decorationName)
	: eDecoWidget(parentWidget, focusable, decorationName), current(entries.end()),
	  entryHeight(ownEntryHeight > 0 ? ownEntryHeight : eListBoxEntryText::getEntryHeight())
{
	eDesktopSkin* skin = eDesktopSkin::active();
	backgroundColor = skin->queryColor("eListBox.background");
	foregroundColor = skin->queryColor("eListBox.foreground");
}

eListBoxBase::~eListBoxBase()
{
	pendingJournal().erase(this);
	std::list<eListBoxEntry*> rows;
	rows.swap(entries);
	current = entries.end();
	// A row's destructor asks us to take it; the list is already empty by then.
	for (eListBoxEntry* e : rows)
		delete e;
}

void eListBoxBase::append(eListBoxEntry* entry, bool holdCurrent, bool noInvalidate)
{
	(void)holdCurrent;
	// A row's base constructor has appended it already when the row appends itself again.
	if (!entry || (!entries.empty() && entries.back() == entry))
		return;
	entries.push_back(entry);
	if (current == entries.end())
		current = entries.begin();
	if (atomic)
		return;
	if (!noInvalidate)
		invalidate();
	scheduleJournal(this);
}

void eListBoxBase::take(eListBoxEntry* entry)
{
	auto it = std::find(entries.begin(), entries.end(), entry);
	if (it == entries.end())
		return;
	if (current == it)
	{
		auto next = std::next(it);
		current = next != entries.end() ? next : (it != entries.begin() ? std::prev(it) : entries.end());
	}
	entries.erase(it);
	changed();
}

void eListBoxBase::clearList()
{
	std::list<eListBoxEntry*> rows;
	rows.swap(entries);
	current = entries.end();
	top = 0;
	for (eListBoxEntry* e : rows)
		delete e;
	changed();
}

void eListBoxBase::beginAtomic()
{
	++atomic;
}

void eListBoxBase::endAtomic()
{
	if (atomic <= 0 || --atomic > 0)
		return;
	moveSelection(0);
	invalidate();
	journalNow(this);
	if (atomicSelChanged)
	{
		atomicSelChanged = false;
		if (current != entries.end())
			SendSelChanged(*current);
	}
}

void eListBoxBase::setCurrent(eListBoxEntry* entry, bool sendSelected)
{
	auto it = std::find(entries.begin(), entries.end(), entry);
	if (it == entries.end())
		return;
	current = it;
	moveSelection(0);
	if (atomic)
		atomicSelChanged = true;
	else
	{
		invalidate();
		journalNow(this);
		SendSelChanged(entry);
	}
	if (sendSelected)
		SendSelected(entry);
}

eListBoxEntry* eListBoxBase::getCurrentEntry() const
{
	return current == entries.end() ? nullptr : *current;
}

int eListBoxBase::visibleRows() const
{
	const int inner = size.h - 2 * decoBorderWidth;
	return entryHeight > 0 && inner > 0 ? inner / entryHeight : 0;
}

void eListBoxBase::moveSelection(int delta)
{
	if (entries.empty())
	{
		top = 0;
		return;
	}
	if (current == entries.end())
		current = entries.begin();
	const int count = int(entries.size());
	const int at = int(std::distance(entries.begin(), current));
	int target = at + delta;
	target = target < 0 ? 0 : (target >= count ? count - 1 : target);
	if (target != at)
		current = std::next(entries.begin(), target);
	// Scroll just far enough that the current row is on screen.
	const int rows = visibleRows() > 0 ? visibleRows() : 1;
	if (target < top)
		top = target;
	else if (target >= top + rows)
		top = target - rows + 1;
	if (top > count - rows)
		top = count - rows > 0 ? count - rows : 0;
	if (target == at || atomic)
		return;
	invalidate();
	journalNow(this);
	SendSelChanged(*current);
}

void eListBoxBase::changed()
{
	if (atomic)
		return;
	moveSelection(0);
	invalidate();
	scheduleJournal(this);
}

void eListBoxBase::redrawWidget(gPainter* painter, const eRect& area)
{
	drawDecoration(painter, area);
	const eRect r = getAbsoluteRect();
	const int b = decoBorderWidth;
	const eRect inner(r.left() + b, r.top() + b, r.width() - 2 * b, r.height() - 2 * b);
	const eRect clip = inner.intersect(area);
	if (clip.isNull())
		return;
	eDesktopSkin* skin = eDesktopSkin::active();
	const gColor activeBg = skin->queryColor("eListBox.highlight.background");
	const gColor activeFg = skin->queryColor("eListBox.highlight.foreground");
	// Rows draw in the list's own coordinates, as a row's redraw expects.
	gPixmapDC dc(&painter->target());
	gPainter rowPainter(dc, inner.topLeft(), clip);
	// Whole rows only, as a box's list draws them: the space below the last one stays empty.
	int row = 0;
	const int rows = visibleRows();
	for (auto it = std::next(entries.begin(), std::min(top, int(entries.size()))); it != entries.end() && row < rows;
		 ++it, ++row)
	{
		const eRect rect(0, row * entryHeight, inner.width(), entryHeight);
		const eString& rowText =
			(*it)->redraw(&rowPainter, rect, activeBg, activeFg, backgroundColor, foregroundColor, it == current);
		// A row is a line of text to the viewer: one the list cuts is a text cut.
		const eRect onScreen = rect.translated(inner.topLeft());
		TextClipWatch::instance().drawn(rowText, onScreen, onScreen, clip);
	}
}

int eListBoxBase::eventHandler(const eWidgetEvent& ev)
{
	if (ev.type != eWidgetEvent::evtAction)
		return eDecoWidget::eventHandler(ev);
	const eAction* a = ev.action;
	const int page = visibleRows() > 0 ? visibleRows() : 1;
	if (a == &i_cursorActions->up)
		moveSelection(-1);
	else if (a == &i_cursorActions->down)
		moveSelection(1);
	else if (a == &i_cursorActions->left)
		moveSelection(-page);
	else if (a == &i_cursorActions->right)
		moveSelection(page);
	else if (a == &i_cursorActions->ok)
	{
		// The slot may rebuild or delete the list: nothing of ours is touched after it.
		if (current != entries.end())
			SendSelected(*current);
	}
	else if (current != entries.end())
		return (*current)->eventHandler(ev);
	else
		return 0;
	return 1;
}
