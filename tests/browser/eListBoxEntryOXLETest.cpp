// Drawing a browser row: icon, text and the cached layout.
#include <memory>

#include <gtest/gtest.h>

#include "OxleTestHost.h"
#include "boxPath.h"
#include "eListBoxEntryOXLE.h"
#include "gPainter.h"
#include "oxleGlobals.h"

namespace
{
const int rowWidth = 400;
const int rowHeight = 40;
const gRGB pageColour(1, 2, 3);
const gRGB normalBack(10, 20, 30);
const gRGB normalFore(250, 250, 250);
const gRGB activeBack(40, 50, 60);
const gRGB activeFore(255, 255, 0);

struct Drawing
{
	std::unique_ptr<gPixmap> page;
	eString returned;
};

Drawing draw(eListBoxEntryOXLE& row, int top = 0, int highlight = 0)
{
	Drawing d;
	d.page = std::make_unique<gPixmap>(rowWidth, top + rowHeight);
	d.page->fill(eRect(0, 0, rowWidth, top + rowHeight), pageColour);
	gPixmapDC dc(d.page.get());
	gPainter painter(dc);
	d.returned = row.redraw(
		&painter, eRect(0, top, rowWidth, rowHeight), activeBack, activeFore, normalBack, normalFore, highlight);
	return d;
}

bool samePixels(const gPixmap& a, const gPixmap& b, int aTop = 0, int bTop = 0)
{
	for (int y = 0; y < rowHeight; ++y)
		for (int x = 0; x < rowWidth; ++x)
			if (a.pixel(x, aTop + y) != b.pixel(x, bTop + y))
				return false;
	return true;
}

// First and last row of the band [top, top + rowHeight) that hold a pixel unlike
// the row background right of x0.
std::pair<int, int> inkRows(const gPixmap& page, int x0, int top, gRGB background)
{
	int first = -1, last = -1;
	for (int y = top; y < top + rowHeight; ++y)
		for (int x = x0; x < rowWidth; ++x)
			if (page.pixel(x, y) != background.argb())
			{
				if (first < 0)
					first = y;
				last = y;
				break;
			}
	return {first, last};
}
} // namespace

class OxleRow : public OxleWindowTest
{
protected:
	void SetUp() override
	{
		OxleWindowTest::SetUp();
		list = std::make_unique<eListBox<eListBoxEntryOXLE>>(nullptr);
		icon.reset(loadPNG(boxPath(OXLE_PICTURES "film.png").c_str()));
		ASSERT_NE(icon, nullptr);
	}
	std::unique_ptr<eListBox<eListBoxEntryOXLE>> list;
	std::unique_ptr<gPixmap> icon;
};

TEST_F(OxleRow, ARowWithoutIconDrawsNothing)
{
	eListBoxEntryOXLE* row = new eListBoxEntryOXLE(list.get(), "no icon", nullptr, 0);
	EXPECT_EQ(list->getCount(), 1);
	Drawing d = draw(*row);
	EXPECT_EQ(d.returned, "no icon");
	for (int y = 0; y < rowHeight; ++y)
		for (int x = 0; x < rowWidth; ++x)
			ASSERT_EQ(d.page->pixel(x, y), pageColour.argb()) << x << "," << y;
}

TEST_F(OxleRow, IconAtTheLeftTextAfterItCentredInTheRow)
{
	eListBoxEntryOXLE* row = new eListBoxEntryOXLE(list.get(), "Mmm", icon.get(), 7);
	EXPECT_EQ(row->getIndex(), 7);
	Drawing d = draw(*row);
	EXPECT_EQ(d.returned, "Mmm");

	// The background is the row's, left of the icon untouched by anything else.
	EXPECT_EQ(d.page->pixel(2, 2), normalBack.argb());
	const int iconTop = (rowHeight - icon->height()) / 2;
	const int textLeft = eListBoxEntryOXLE::iconLeft + icon->width() + eListBoxEntryOXLE::textGap;
	// Somewhere inside the icon's square its picture shows.
	bool iconSeen = false;
	for (int y = iconTop; y < iconTop + icon->height(); ++y)
		for (int x = eListBoxEntryOXLE::iconLeft; x < eListBoxEntryOXLE::iconLeft + icon->width(); ++x)
			iconSeen = iconSeen || d.page->pixel(x, y) != normalBack.argb();
	EXPECT_TRUE(iconSeen);
	for (int y = 0; y < rowHeight; ++y)
		for (int x = 0; x < eListBoxEntryOXLE::iconLeft; ++x)
			ASSERT_EQ(d.page->pixel(x, y), normalBack.argb()) << x << "," << y;

	// The text's ink is vertically centred (within a pixel or two of rounding).
	std::pair<int, int> ink = inkRows(*d.page, textLeft, 0, normalBack);
	ASSERT_GE(ink.first, 0) << "no text drawn";
	const int above = ink.first;
	const int below = rowHeight - 1 - ink.second;
	EXPECT_LE(std::abs(above - below), 2) << above << " above, " << below << " below";
}

TEST_F(OxleRow, TheLayoutIsKeptBetweenDrawings)
{
	eListBoxEntryOXLE* row = new eListBoxEntryOXLE(list.get(), "Mmm", icon.get(), 0);
	Drawing first = draw(*row);
	Drawing second = draw(*row);
	EXPECT_TRUE(samePixels(*first.page, *second.page));
	// Lower down the page the row looks the same.
	Drawing lower = draw(*row, 3 * rowHeight);
	EXPECT_TRUE(samePixels(*first.page, *lower.page, 0, 3 * rowHeight));
	// Laid out again, it still looks the same.
	row->invalidate();
	Drawing again = draw(*row);
	EXPECT_TRUE(samePixels(*first.page, *again.page));
	// Highlighted, the text takes the active colours.
	Drawing active = draw(*row, 0, 1);
	EXPECT_EQ(active.page->pixel(2, 2), activeBack.argb());
}
