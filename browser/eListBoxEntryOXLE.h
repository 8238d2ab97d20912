#ifndef OXLE_BROWSER_ELISTBOXENTRYOXLE_H
#define OXLE_BROWSER_ELISTBOXENTRYOXLE_H

#include "eListBox.h"

// A browser row: an icon, then the text. The row appends itself to its list box
// which owns it from then on. The text is the base class's copy; the laid-out
// paragraph and its vertical offset are the base class's cache too, made on the first
// drawing and kept until invalidate().
class eListBoxEntryOXLE : public eListBoxEntryText
{
public:
	// icon is borrowed: the row never frees it, so it must outlive the row.
	eListBoxEntryOXLE(eListBox<eListBoxEntryOXLE>* listbox, eString text, gPixmap* icon, int index);
	~eListBoxEntryOXLE() override;

	const eString& redraw(gPainter* painter, const eRect& rect, gColor activeBackground, gColor activeForeground,
		gColor normalBackground, gColor normalForeground, int highlight) override;
	// Drops the laid-out text so that the next drawing lays it out again.
	void invalidate();

	int getIndex() const { return index; }
	gPixmap* getIcon() const { return icon; }

	// Left edge of the icon, and the gap between icon and text.
	static const int iconLeft = 10;
	static const int textGap = 20;

private:
	gPixmap* icon;
	int index; // position in the listing when the rows were built
};

#endif
