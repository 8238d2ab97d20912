#include <gtest/gtest.h>

#include "gPainter.h"

namespace
{
const uint32_t red = gRGB(255, 0, 0).argb();
const uint32_t blue = gRGB(0, 0, 255).argb();
const uint32_t clearPixel = 0xff000000u;

int countPixels(const gPixmap& pm, uint32_t value, const eRect& area)
{
	int n = 0;
	for (int y = area.top(); y < area.bottom(); ++y)
		for (int x = area.left(); x < area.right(); ++x)
			n += pm.pixel(x, y) == value;
	return n;
}
} // namespace

TEST(gPainter, FillHonoursOriginAndClip)
{
	struct Case
	{
		ePoint origin;
		eRect clip, area, expect;
	};
	const Case cases[] = {
		{ePoint(), eRect(), eRect(2, 3, 4, 5), eRect(2, 3, 4, 5)},
		{ePoint(10, 20), eRect(), eRect(2, 3, 4, 5), eRect(12, 23, 4, 5)},
		{ePoint(), eRect(0, 0, 4, 4), eRect(2, 2, 10, 10), eRect(2, 2, 2, 2)},
		{ePoint(5, 5), eRect(6, 6, 3, 3), eRect(0, 0, 10, 10), eRect(6, 6, 3, 3)},
		{ePoint(-5, -5), eRect(), eRect(0, 0, 10, 10), eRect(0, 0, 5, 5)},
		{ePoint(), eRect(), eRect(60, 60, 10, 10), eRect()},
	};
	for (const Case& c : cases)
	{
		gPixmap pm(64, 64);
		pm.fill(eRect(0, 0, 64, 64), gRGB(clearPixel));
		gPixmapDC dc(&pm);
		gPainter p(dc, c.origin, c.clip);
		p.setForegroundColor(gRGB(red));
		p.fill(c.area);
		const int want = c.expect.isNull() ? 4 * 4 : c.expect.width() * c.expect.height();
		if (c.expect.isNull())
			EXPECT_EQ(countPixels(pm, red, eRect(60, 60, 4, 4)), want);
		else
		{
			EXPECT_EQ(countPixels(pm, red, c.expect), want);
			EXPECT_EQ(countPixels(pm, red, eRect(0, 0, 64, 64)), want);
		}
	}
}

TEST(gPainter, BlitFlagsDecideWhatHappensToTransparentPixels)
{
	gPixmap src(2, 1);
	src.setPixel(0, 0, blue);
	src.setPixel(1, 0, 0xff00ff00u); // fully transparent green
	gPixmap half(1, 1);
	half.setPixel(0, 0, gRGB(0, 0, 255, 0x80).argb());

	struct Case
	{
		int flags;
		uint32_t second; // what lands on the red pixel under the transparent one
	};
	const Case cases[] = {
		{0, 0xff00ff00u},
		{gPainter::BT_ALPHATEST, red},
		{gPainter::BT_ALPHABLEND, red},
	};
	for (const Case& c : cases)
	{
		gPixmap target(4, 1);
		target.fill(eRect(0, 0, 4, 1), gRGB(red));
		gPixmapDC dc(&target);
		gPainter p(dc);
		p.blit(src, ePoint(1, 0), eRect(), c.flags);
		EXPECT_EQ(target.pixel(0, 0), red) << c.flags;
		EXPECT_EQ(target.pixel(1, 0), blue) << c.flags;
		EXPECT_EQ(target.pixel(2, 0), c.second) << c.flags;
		EXPECT_EQ(target.pixel(3, 0), red) << c.flags;
	}

	gPixmap target(1, 1);
	target.fill(eRect(0, 0, 1, 1), gRGB(red));
	gPixmapDC dc(&target);
	gPainter(dc).blit(half, ePoint(), eRect(), gPainter::BT_ALPHABLEND);
	const gRGB mixed(target.pixel(0, 0));
	EXPECT_NEAR(mixed.r, 128, 2);
	EXPECT_NEAR(mixed.b, 127, 2);
	EXPECT_EQ(mixed.a, 0);
}

TEST(gPainter, BlitClipRectangleLimitsTheCopy)
{
	gPixmap src(4, 4);
	src.fill(eRect(0, 0, 4, 4), gRGB(blue));
	gPixmap target(10, 10);
	target.fill(eRect(0, 0, 10, 10), gRGB(red));
	gPixmapDC dc(&target);
	gPainter p(dc, ePoint(2, 2), eRect());
	p.blit(src, ePoint(1, 1), eRect(2, 2, 2, 10));
	// Only the part of the picture inside the clip (painter coordinates 2..4, 2..) lands.
	EXPECT_EQ(countPixels(target, blue, eRect(0, 0, 10, 10)), 2 * 3);
	EXPECT_EQ(countPixels(target, blue, eRect(4, 4, 2, 3)), 6);
}

TEST(gPainter, RenderTextInksInsideItsAreaInTheForegroundColour)
{
	gPixmap target(200, 60);
	target.fill(eRect(0, 0, 200, 60), gRGB(clearPixel));
	gPixmapDC dc(&target);
	gPainter p(dc);
	p.setForegroundColor(gRGB(255, 255, 255));
	p.setFont(gFont("Regular", 20));
	const eRect area(50, 10, 100, 40);
	p.renderText(area, "Hello", gPainter::RT_HALIGN_CENTER | gPainter::RT_VALIGN_CENTER);

	int inked = 0, outside = 0, minX = 1000, maxX = -1;
	for (int y = 0; y < 60; ++y)
		for (int x = 0; x < 200; ++x)
		{
			const uint32_t px = target.pixel(x, y);
			if (px == clearPixel)
				continue;
			if (!area.contains(x, y))
				++outside;
			++inked;
			minX = x < minX ? x : minX;
			maxX = x > maxX ? x : maxX;
		}
	EXPECT_GT(inked, 50);
	EXPECT_EQ(outside, 0);
	// Centred: the blank margins left and right of the ink differ by a pixel or two.
	const int leftMargin = minX - area.left(), rightMargin = area.right() - 1 - maxX;
	EXPECT_LE(abs(leftMargin - rightMargin), 3) << leftMargin << " " << rightMargin;
	// Fully inked pixels carry the foreground colour.
	EXPECT_GT(countPixels(target, gRGB(255, 255, 255).argb(), area), 5);
}
