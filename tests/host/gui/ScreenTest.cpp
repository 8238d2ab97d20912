#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "Screen.h"
#include "eDesktopSkin.h"
#include "eLabel.h"
#include "eProgress.h"
#include "eZap.h"

namespace
{
uint32_t rgb(uint32_t argb)
{
	return argb & 0x00ffffffu;
}

class ScreenTest : public testing::Test
{
protected:
	void SetUp() override
	{
		eDesktopSkin::activate(GuiTest::defaultSkinPath());
		Screen::instance().clearVideo();
	}
	void TearDown() override { Screen::instance().clearVideo(); }
};
} // namespace

TEST_F(ScreenTest, EmptyScreenShowsTheBlackVideoPlane)
{
	Screen& s = Screen::instance();
	s.redrawAll();
	const std::vector<uint32_t> picture = s.composite();
	ASSERT_EQ(picture.size(), size_t(Screen::width * Screen::height));
	for (size_t i = 0; i < picture.size(); i += 997)
		ASSERT_EQ(picture[i], 0u) << i;
	EXPECT_EQ(s.osd().pixel(0, 0) >> 24, 0xffu); // a cleared OSD is fully transparent
}

TEST_F(ScreenTest, VideoFramesAreScaledToTheScreen)
{
	Screen& s = Screen::instance();
	const uint32_t tl = gRGB(255, 0, 0).argb(), tr = gRGB(0, 255, 0).argb();
	const uint32_t bl = gRGB(0, 0, 255).argb(), br = gRGB(255, 255, 255).argb();
	// The decoder's alpha does not matter: the video plane is opaque.
	const uint32_t frame[] = {tl | 0xff000000u, tr, bl, br};
	s.setVideoFrame(frame, 2, 2);
	s.redrawAll();
	const std::vector<uint32_t> p = s.composite();
	auto at = [&](int x, int y) { return p[size_t(y) * Screen::width + size_t(x)]; };
	EXPECT_EQ(at(0, 0), rgb(tl));
	EXPECT_EQ(at(Screen::width - 1, 0), rgb(tr));
	EXPECT_EQ(at(0, Screen::height - 1), rgb(bl));
	EXPECT_EQ(at(Screen::width - 1, Screen::height - 1), rgb(br));
	// Halfway across the top edge red and green mix.
	const gRGB mid(at(Screen::width / 2, 0));
	EXPECT_NEAR(mid.r, 128, 8);
	EXPECT_NEAR(mid.g, 128, 8);

	// A large frame shrinks: its corners still land in the corners.
	std::vector<uint32_t> big(size_t(1920) * 1080, rgb(tl));
	big.back() = rgb(br);
	s.setVideoFrame(big.data(), 1920, 1080);
	const std::vector<uint32_t> q = s.composite();
	EXPECT_EQ(q.front(), rgb(tl));
	EXPECT_EQ(q[q.size() / 2], rgb(tl));
}

TEST_F(ScreenTest, PartlyTransparentOsdMixesWithTheVideo)
{
	Screen& s = Screen::instance();
	const uint32_t white = gRGB(255, 255, 255).argb();
	s.setVideoFrame(&white, 1, 1);
	s.redrawAll();
	s.osd().fill(eRect(0, 0, 10, 10), gRGB(0, 0, 0, 0x80));
	const std::vector<uint32_t> p = s.composite();
	const gRGB mixed(p[5 * Screen::width + 5]);
	EXPECT_NEAR(mixed.r, 128, 2);
	EXPECT_EQ(p[20 * Screen::width + 20], rgb(white));
}

TEST_F(ScreenTest, SnapshotShowsWidgetsPicturesTextAndVideo)
{
	GuiTest::TempDir dir;
	Screen& s = Screen::instance();
	const uint32_t videoBlue = gRGB(0, 0, 200).argb();
	s.setVideoFrame(&videoBlue, 1, 1);

	auto* label = new eLabel();
	label->move(ePoint(100, 100));
	label->resize(eSize(200, 40));
	label->setProperty("backgroundColor", "std_dred");
	label->setProperty("foregroundColor", "#ffffff");
	label->setProperty("vcenter", "");
	label->setText("Hello");
	label->show();

	// A picture with a transparent right half, shown with alpha test.
	gPixmap picture(10, 10);
	picture.fill(eRect(0, 0, 5, 10), gRGB(0, 255, 0));
	picture.fill(eRect(5, 0, 5, 10), gRGB(0, 0, 0, 0xff));
	eLabel icon(eZap::getInstance()->getDesktop());
	icon.setProperty("alphatest", "on");
	icon.setBlitFlags(1);
	icon.setPixmap(&picture);
	icon.move(ePoint(400, 300));
	icon.resize(eSize(10, 10));
	icon.show();

	const std::string path = dir.file("snap.png");
	ASSERT_TRUE(s.snapshot(path));
	std::unique_ptr<gPixmap> shot(loadPNG(path.c_str()));
	ASSERT_TRUE(shot);
	ASSERT_EQ(shot->getSize(), eSize(Screen::width, Screen::height));
	auto px = [&](int x, int y) { return rgb(shot->pixel(x, y)); };

	const uint32_t labelRed = 0xa01818u;
	EXPECT_EQ(px(101, 101), labelRed);
	EXPECT_EQ(px(298, 138), labelRed);
	EXPECT_EQ(px(99, 101), rgb(videoBlue));
	EXPECT_EQ(px(300, 139), rgb(videoBlue));
	int inked = 0;
	for (int y = 100; y < 140; ++y)
		for (int x = 100; x < 300; ++x)
			inked += px(x, y) != labelRed;
	EXPECT_GT(inked, 40);

	EXPECT_EQ(px(402, 305), 0x00ff00u);
	EXPECT_EQ(px(407, 305), rgb(videoBlue));
	EXPECT_EQ(px(10, 10), rgb(videoBlue));

	// Hidden or deleted widgets leave the picture.
	delete label;
	icon.hide();
	const std::vector<uint32_t> after = s.composite();
	EXPECT_EQ(after[101 * Screen::width + 101], rgb(videoBlue));
	EXPECT_EQ(after[305 * Screen::width + 402], rgb(videoBlue));
}

TEST_F(ScreenTest, StackingFollowsRegistrationAndRaise)
{
	Screen& s = Screen::instance();
	eLabel lower, upper;
	for (eLabel* l : {&lower, &upper})
	{
		l->move(ePoint(50, 50));
		l->resize(eSize(20, 20));
		l->show();
	}
	lower.setProperty("backgroundColor", "#ff0000");
	upper.setProperty("backgroundColor", "#00ff00");
	EXPECT_EQ(rgb(s.composite()[55 * Screen::width + 55]), 0x00ff00u);
	lower.zOrderRaise();
	EXPECT_EQ(rgb(s.composite()[55 * Screen::width + 55]), 0xff0000u);
}

TEST_F(ScreenTest, ProgressBarFillsUpToItsPercentage)
{
	Screen& s = Screen::instance();
	eProgress bar;
	bar.move(ePoint(100, 200));
	bar.resize(eSize(104, 14)); // a frame of 2 around 100 pixels
	bar.setLeftColor(gRGB(0, 255, 0));
	bar.setRightColor(gRGB(255, 0, 0));
	bar.setPerc(25);
	bar.show();
	const std::vector<uint32_t> p = s.composite();
	auto at = [&](int x, int y) { return rgb(p[size_t(y) * Screen::width + size_t(x)]); };
	const uint32_t frame = rgb(eSkin::getActive()->queryColor("eProgress.border").color.argb());
	EXPECT_EQ(at(100, 200), frame);
	EXPECT_EQ(at(203, 213), frame);
	EXPECT_EQ(at(102, 207), 0x00ff00u);
	EXPECT_EQ(at(126, 207), 0x00ff00u);
	EXPECT_EQ(at(127, 207), 0xff0000u);
	EXPECT_EQ(at(201, 211), 0xff0000u);
	bar.setPerc(150); // clamped
	EXPECT_EQ(bar.getPerc(), 100);
	EXPECT_EQ(rgb(s.composite()[size_t(207) * Screen::width + 201]), 0x00ff00u);
}
