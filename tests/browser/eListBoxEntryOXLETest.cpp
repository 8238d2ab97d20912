// Drawing a browser row: blank without its icon, else the icon at the left and the text
// after it, centred in the row, the same at every drawing and on every row.
#include <cstdlib>
#include <memory>

#include <gtest/gtest.h>

#include "HostTestEnv.h"
#include "eListBoxEntryOXLE.h"
#include "gPainter.h"
#include "oxleConfig.h"

namespace
{
const int WIDTH = 400, HEIGHT = 40;
const gRGB PAGE(1, 2, 3), BACK(10, 20, 30), FORE(250, 250, 250), ACTIVE_BACK(40, 50, 60), ACTIVE_FORE(255, 255, 0);

// The row drawn at top on a page of its own colour.
std::unique_ptr<gPixmap> draw(eListBoxEntryOXLE& row, int top = 0, int highlight = 0)
{
	auto page = std::make_unique<gPixmap>(WIDTH, top + HEIGHT);
	page->fill(eRect(0, 0, WIDTH, top + HEIGHT), PAGE);
	gPixmapDC dc(page.get());
	gPainter painter(dc);
	EXPECT_EQ(row.redraw(&painter, eRect(0, top, WIDTH, HEIGHT), ACTIVE_BACK, ACTIVE_FORE, BACK, FORE, highlight),
		row.getText());
	return page;
}

// The rows of the band from top that hold a pixel unlike colour between x0 and x1.
std::vector<int> inkRows(const gPixmap& page, int top, int x0, gRGB colour, int x1 = WIDTH)
{
	std::vector<int> ink;
	for (int y = 0; y < HEIGHT; ++y)
		for (int x = x0; x < x1; ++x)
			if (page.pixel(x, top + y) != colour.argb())
			{
				ink.push_back(y);
				break;
			}
	return ink;
}
} // namespace

TEST(BrowserRow, IconThenCentredTextTheSameAtEveryDrawing)
{
	eListBox<eListBoxEntryOXLE> list(nullptr);
	std::unique_ptr<gPixmap> icon(loadPNG(HostTestEnv::root().file(OXLE_PICTURES "film.png").c_str()));
	ASSERT_NE(icon, nullptr);

	eListBoxEntryOXLE* blank = new eListBoxEntryOXLE(&list, "no icon", nullptr, 0);
	EXPECT_EQ(inkRows(*draw(*blank), 0, 0, PAGE), std::vector<int>());

	eListBoxEntryOXLE* row = new eListBoxEntryOXLE(&list, "Mmm", icon.get(), 7);
	const std::unique_ptr<gPixmap> first = draw(*row);
	// Left of the icon only the row's background; its picture in the middle of the row.
	const int textLeft = eListBoxEntryOXLE::iconLeft + icon->width();
	EXPECT_TRUE(inkRows(*first, 0, 0, BACK, eListBoxEntryOXLE::iconLeft).empty());
	const std::vector<int> picture = inkRows(*first, 0, eListBoxEntryOXLE::iconLeft, BACK, textLeft);
	ASSERT_FALSE(picture.empty());
	EXPECT_GE(picture.front(), (HEIGHT - icon->height()) / 2);
	EXPECT_LT(picture.back(), (HEIGHT + icon->height()) / 2);
	const std::vector<int> text = inkRows(*first, 0, textLeft, BACK);
	ASSERT_FALSE(text.empty());
	EXPECT_LE(std::abs(text.front() - (HEIGHT - 1 - text.back())), 2) << "text not centred";

	// Lower down the page, again, and laid out anew, the row looks the same.
	const int lowerTop = 3 * HEIGHT;
	const std::unique_ptr<gPixmap> lower = draw(*row, lowerTop);
	row->invalidate();
	const std::unique_ptr<gPixmap> again = draw(*row);
	for (int y = 0; y < HEIGHT; ++y)
		for (int x = 0; x < WIDTH; ++x)
		{
			ASSERT_EQ(lower->pixel(x, lowerTop + y), first->pixel(x, y)) << x << "," << y;
			ASSERT_EQ(again->pixel(x, y), first->pixel(x, y)) << x << "," << y;
		}
	EXPECT_EQ(draw(*row, 0, 1)->pixel(2, 2), ACTIVE_BACK.argb());
}
