#ifndef OXLE_BENCH_BROWSER_LISTINGVIEW_H
#define OXLE_BENCH_BROWSER_LISTINGVIEW_H

#include <map>
#include <memory>
#include <vector>

#include "PLAYLIST.h"
#include "eListBox.h"
#include "eListBoxEntryOXLE.h"
#include "gPixmap.h"

// The main window's list view without the window: the list box at the window's place
// and size, the icon cache, and the row building of the window's viewList, so that a
// listing can be timed from its entries to the rows on screen. Runs on the GUI thread
// of an initialised desktop host; icons come from the box's picture folder.
class ListingView
{
public:
	ListingView();
	~ListingView();
	ListingView(const ListingView&) = delete;
	ListingView& operator=(const ListingView&) = delete;

	// What viewList does: sorts the entries (kind, then name), replaces the rows with
	// one row per entry and its icon, and makes row sel current when it is a real one.
	void show(std::vector<PLAYLIST>& playlist, int sel);
	// Only the row building of show, for entries already sorted.
	void buildRows(const std::vector<PLAYLIST>& playlist, int sel);
	// Draws the visible rows onto the screen picture, as the next redraw would.
	void drawPage();
	// Drops the laid-out text of the visible rows, so that drawPage lays them out again.
	void forgetPageLayout();

	int rowCount() const { return listbox->getCount(); }
	// Rows that have an icon; a row without one draws nothing.
	int rowsWithIcon() const;
	// Colours on the screen in the list's area: a handful for an empty list, many once
	// icons and anti-aliased text are drawn.
	int distinctColours() const;

private:
	gPixmap* loadIcon(const eString& file);

	std::unique_ptr<eListBox<eListBoxEntryOXLE>> listbox;
	std::map<eString, std::unique_ptr<gPixmap>> iconCache; // GUI thread only
	gPixmap screen;
};

#endif
