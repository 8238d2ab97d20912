// A browser row: the icon at the left, the text centred after it, the same on every row.
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "HostTestEnv.h"
#include "eListBoxEntryOXLE.h"
#include "gPainter.h"
#include "oxleConfig.h"

namespace
{
const int WIDTH = 400, HEIGHT = 40;
const gRGB PAGE(1, 2, 3), BACK(10, 20, 30), FORE(250, 250, 250), ACTIVE_BACK(40, 50, 60), ACTIVE_FORE(255, 255, 0);

// The row drawn at top on a page of its own colour: the pixels of its band, line by line.
std::vector<uint32_t> draw(eListBoxEntryOXLE& row, int top = 0, int highlight = 0)
{
	gPixmap page(WIDTH, top + HEIGHT);
	page.fill(eRect(0, 0, WIDTH, top + HEIGHT), PAGE);
	gPixmapDC dc(&page);
	gPainter painter(dc);
	EXPECT_EQ(row.redraw(&painter, eRect(0, top, WIDTH, HEIGHT), ACTIVE_BACK, ACTIVE_FORE, BACK, FORE, highlight),
		row.getText());
	std::vector<uint32_t> band;
	for (int y = top; y < top + HEIGHT; ++y)
		for (int x = 0; x < WIDTH; ++x)
			band.push_back(page.pixel(x, y));
	return band;
}

// The lines of a band that hold a pixel unlike colour between x0 and x1.
std::vector<int> inkRows(const std::vector<uint32_t>& band, int x0, gRGB colour, int x1 = WIDTH)
{
	std::vector<int> ink;
	for (int y = 0; y < HEIGHT; ++y)
		if (std::any_of(band.begin() + y * WIDTH + x0, band.begin() + y * WIDTH + x1,
				[&colour](uint32_t pixel) { return pixel != colour.argb(); }))
			ink.push_back(y);
	return ink;
}
} // namespace

TEST(BrowserRow, IconThenCentredTextTheSameAtEveryDrawing)
{
	eListBox<eListBoxEntryOXLE> list(nullptr);
	std::unique_ptr<gPixmap> icon(loadPNG(HostTestEnv::root().file(OXLE_PICTURES "film.png").c_str()));
	ASSERT_NE(icon, nullptr);

	eListBoxEntryOXLE* row = new eListBoxEntryOXLE(&list, "Mmm", icon.get(), 7);
	const std::vector<uint32_t> first = draw(*row);
	// Left of the icon only the row's background; its picture in the middle of the row.
	const int textLeft = eListBoxEntryOXLE::iconLeft + icon->width();
	EXPECT_TRUE(inkRows(first, 0, BACK, eListBoxEntryOXLE::iconLeft).empty());
	const std::vector<int> picture = inkRows(first, eListBoxEntryOXLE::iconLeft, BACK, textLeft);
	ASSERT_FALSE(picture.empty());
	EXPECT_GE(picture.front(), (HEIGHT - icon->height()) / 2);
	EXPECT_LT(picture.back(), (HEIGHT + icon->height()) / 2);
	const std::vector<int> text = inkRows(first, textLeft, BACK);
	ASSERT_FALSE(text.empty());
	EXPECT_LE(std::abs(text.front() - (HEIGHT - 1 - text.back())), 2) << "text not centred";

	// Lower down the page, again, and laid out anew, the row looks the same.
	EXPECT_TRUE(draw(*row, 3 * HEIGHT) == first) << "lower down the page";
	row->invalidate();
	EXPECT_TRUE(draw(*row) == first) << "laid out anew";
	EXPECT_EQ(draw(*row, 0, 1)[2 * WIDTH + 2], ACTIVE_BACK.argb());
}
