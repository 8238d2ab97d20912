#include "eListBox.h"

#include "TextParaImpl.h"
#include "eDesktopSkin.h"
#include "gPainter.h"

namespace
{
const char* const listFont = "eListBox.EntryText.normal";
// Room above and below the text of a row.
const int entryPadding = 10;
const int textIndent = 6;
} // namespace

eListBoxEntry::eListBoxEntry(eListBoxBase* list, const eString& help) : listbox(list), helptext(help)
{
	if (listbox)
		listbox->append(this);
}

eListBoxEntry::~eListBoxEntry()
{
	if (listbox)
		listbox->take(this);
}

bool eListBoxEntry::operator<(const eListBoxEntry& other) const
{
	return helptext < other.helptext;
}

int eListBoxEntry::eventHandler(const eWidgetEvent&)
{
	return 0;
}

void eListBoxEntry::drawEntryRect(gPainter* painter, const eRect& rect, gColor activeBackground,
	gColor activeForeground, gColor normalBackground, gColor normalForeground, int highlight)
{
	const gColor& bg = highlight ? activeBackground : normalBackground;
	if (bg.valid)
	{
		painter->setForegroundColor(bg);
		painter->fill(rect);
		painter->setBackgroundColor(bg);
	}
	// What the row draws next (its text) comes out in the row's text colour.
	painter->setForegroundColor(highlight ? activeForeground : normalForeground);
}

eListBoxEntryText::eListBoxEntryText(
	eListBoxBase* list, const char* rowText, void* rowKey, int rowAlign, const eString& help)
	: eListBoxEntry(list, help), text(rowText), key(rowKey), align(rowAlign)
{
}

eListBoxEntryText::eListBoxEntryText(
	eListBoxBase* list, const eString& rowText, void* rowKey, int rowAlign, const eString& help)
	: eListBoxEntry(list, help), text(rowText), key(rowKey), align(rowAlign)
{
}

eListBoxEntryText::~eListBoxEntryText()
{
	delete para;
}

bool eListBoxEntryText::operator<(const eListBoxEntry& other) const
{
	if (auto* o = dynamic_cast<const eListBoxEntryText*>(&other))
		return text < o->text;
	return eListBoxEntry::operator<(other);
}

const eString& eListBoxEntryText::redraw(gPainter* painter, const eRect& rect, gColor activeBackground,
	gColor activeForeground, gColor normalBackground, gColor normalForeground, int highlight)
{
	drawEntryRect(painter, rect, activeBackground, activeForeground, normalBackground, normalForeground, highlight);
	const eRect area(0, 0, rect.width() - 2 * textIndent, rect.height());
	if (!para)
	{
		para = new eTextPara(area);
		para->setFont(eDesktopSkin::active()->queryFont(listFont));
		para->renderString(getText());
		para->impl()->align(area, align & (gPainter::RT_HALIGN_RIGHT | gPainter::RT_HALIGN_CENTER));
		// Centred on the font's lines rather than the ink, so that every row sits on
		// the same baseline whatever its letters.
		yOffs = (rect.height() - para->impl()->blockHeight()) / 2;
	}
	painter->renderPara(*para, ePoint(rect.left() + textIndent, rect.top() + yOffs));
	return getText();
}

int eListBoxEntryText::getEntryHeight()
{
	return eDesktopSkin::active()->queryFont(listFont).pointSize + entryPadding;
}
