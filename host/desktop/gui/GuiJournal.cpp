#include "GuiJournal.h"

#include <nlohmann/json.hpp>

#include "Journal.h"
#include "eListBox.h"
#include "gPainter.h"

namespace GuiJournal
{
void window(const char* op, const eWidget* w)
{
	Journal& j = Journal::instance();
	if (!j.isOpen())
		return;
	const ePoint at = w->getPosition() + w->getClientOffset();
	j.event("window", {{"op", op}, {"class", w->className()}, {"x", at.x}, {"y", at.y}});
}

void list(eListBoxBase* list)
{
	Journal& j = Journal::instance();
	if (!j.isOpen())
		return;
	nlohmann::json rows = nlohmann::json::array();
	int index = 0, current = -1;
	// Rows that are not text rows tell their text only through drawing; they draw into
	// a scratch picture here.
	const eRect rowRect(0, 0, list->getSize().w > 0 ? list->getSize().w : 1, list->getEntryHeightOwn());
	gPixmap scratch(rowRect.width(), rowRect.height() > 0 ? rowRect.height() : 1);
	gPixmapDC dc(&scratch);
	gPainter painter(dc);
	const eListBoxEntry* cur = list->getCurrentEntry();
	for (eListBoxEntry* e : list->getEntries())
	{
		if (e == cur)
			current = index;
		++index;
		if (auto* t = dynamic_cast<eListBoxEntryText*>(e))
			rows.push_back(t->getText());
		else
			rows.push_back(e->redraw(&painter, rowRect, gColor(), gColor(), gColor(), gColor(), 0));
	}
	j.event("list", {{"rows", rows}, {"current", current}});
}
} // namespace GuiJournal
