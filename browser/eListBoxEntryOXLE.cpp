#include "eListBoxEntryOXLE.h"

#include "eSkin.h"
#include "eTextPara.h"
#include "gPainter.h"

namespace
{
// The paragraph is laid out unwrapped: its area only anchors the text, a longer name
// runs on to the right.
const eRect paragraphArea(0, 0, 40, 50);
const char entryFont[] = "eListBox.EntryText.normal";
} // namespace

eListBoxEntryOXLE::eListBoxEntryOXLE(
	eListBox<eListBoxEntryOXLE>* owner, eString rowText, gPixmap* rowIcon, int rowIndex)
	: eListBoxEntryText(owner, rowText), icon(rowIcon), index(rowIndex)
{
	// The base class appends the row to the list box. The list view builds rows inside
	// an atomic update, so no selection signal sees a row before index is set.
}

eListBoxEntryOXLE::~eListBoxEntryOXLE()
{
	invalidate();
}

void eListBoxEntryOXLE::invalidate()
{
	delete para;
	para = nullptr;
}

const eString& eListBoxEntryOXLE::redraw(gPainter* painter, const eRect& rect, gColor activeBackground,
	gColor activeForeground, gColor normalBackground, gColor normalForeground, int highlight)
{
	// A row whose icon could not be loaded stays blank (it can still be chosen).
	if (!icon)
		return text;

	// Map the icon's colours onto the screen's; a no-op where both are true colour.
	gPixmapDC iconDC(icon);
	gPainter iconPainter(iconDC);
	iconPainter.mergePalette(gFBDC::getInstance()->getPixmap());

	drawEntryRect(painter, rect, activeBackground, activeForeground, normalBackground, normalForeground, highlight);
	painter->blit(*icon, ePoint(rect.left() + iconLeft, rect.top() + (rect.height() - icon->height()) / 2), eRect(),
		gPainter::BT_ALPHATEST);

	if (!para)
	{
		para = new eTextPara(paragraphArea);
		para->setFont(eSkin::getActive()->queryFont(entryFont));
		para->renderString(text, 0);
		const eRect box = para->getBoundBox();
		yOffs = (rect.height() - box.height()) / 2 - box.top();
	}
	painter->setForegroundColor(highlight ? activeForeground : normalForeground);
	painter->renderPara(*para, ePoint(rect.left() + icon->width() + textGap, rect.top() + yOffs));
	return text;
}
