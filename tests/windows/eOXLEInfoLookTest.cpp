// The infobar's look on the desktop host: its place, the position bar, the logo, skins
// that lack parts of the bar, and a snapshot of the whole.
#include "InfobarFixture.h"

using namespace infobartest;

namespace
{
TEST_F(Infobar, HostOffsetsMoveTheBar)
{
	struct Case
	{
		int extrasX, enigmaX, extrasY, enigmaY;
		int dx, dy;
	};
	const Case cases[] = {
		{0, 0, 0, 0, 0, 0},
		{12, 40, 0, -30, 12, -30}, // the first key wins when it is not 0
		{0, 40, 7, 9, 40, 7},
	};
	for (const Case& c : cases)
	{
		eConfig* config = eConfig::getInstance();
		config->setKey(OFFSET_KEYS[0], c.extrasX);
		config->setKey(OFFSET_KEYS[1], c.enigmaX);
		config->setKey(OFFSET_KEYS[2], c.extrasY);
		config->setKey(OFFSET_KEYS[3], c.enigmaY);
		eOXLEInfo w;
		EXPECT_EQ(w.getPosition(), ePoint(SKIN_BAR_X + c.dx, SKIN_BAR_Y + c.dy)) << c.extrasX << "/" << c.enigmaX;
	}
}

TEST_F(Infobar, PositionBarOfAPictureStyleImage)
{
	ASSERT_TRUE(windowsTestRoot().writeFile(GEMINI, ""));
	setStatus(statusDocument(0, 100, 50, "x", "y"));
	eOXLEInfo w;
	eLabel* event = label(w, "progress_event");
	ASSERT_NE(event, nullptr);
	EXPECT_TRUE(event->isShown());
	EXPECT_EQ(event->getSize(), eSize(SKIN_EVENT_BAR_WIDTH / 100 * 50, SKIN_EVENT_BAR_HEIGHT));
	EXPECT_FALSE(shown(w, "progress_bar"));
}

TEST_F(Infobar, LogoAtThePiconPlace)
{
	struct Case
	{
		bool picon, own, fallback;
		bool shown;
		eSize size;
	};
	const Case cases[] = {
		{true, true, true, true, eSize(60, 40)},
		{true, false, true, true, eSize(30, 20)}, // the box's default station logo
		{true, false, false, false, eSize()},
		{false, true, true, false, eSize()},
	};
	posx = 500;
	posy = 100;
	for (const Case& c : cases)
	{
		removeFile(LOGO);
		removeFile(DEFAULT_LOGO);
		ASSERT_TRUE(!c.own || writePicture(LOGO, 60, 40, 0x00ff8000u));
		ASSERT_TRUE(!c.fallback || writePicture(DEFAULT_LOGO, 30, 20, 0x000080ffu));
		hasPicon = c.picon;
		eWidget* desktop = Screen::instance().desktop();
		const size_t before = desktop->getChildren().size();
		{
			eOXLEInfo w;
			eLabel& logo = A::logo(w);
			EXPECT_EQ(logo.getParent(), desktop);
			EXPECT_EQ(logo.isShown(), c.shown) << c.own << c.fallback;
			if (c.shown)
			{
				EXPECT_EQ(logo.getSize(), c.size);
				EXPECT_EQ(logo.getPosition(), ePoint(500, 98));
				EXPECT_EQ(logo.getBlitFlags(), 1);
				ASSERT_NE(logo.getPixmap(), nullptr);
				EXPECT_EQ(logo.getPixmap()->getSize(), c.size);
			}
		}
		EXPECT_EQ(desktop->getChildren().size(), before) << "the logo label outlived the infobar";
	}
}

class InfobarOnAnotherSkin : public Infobar
{
protected:
	void TearDown() override
	{
		eDesktopSkin::activate(eDesktopSkin::defaultPath());
		Infobar::TearDown();
	}

	std::string skinFile(const std::string& elements)
	{
		const std::string path = windowsTestRoot().file("/skins/test/skin.xml");
		windowsTestRoot().writeFile("/skins/test/skin.xml", "<skin><elements>" + elements + "</elements></skin>");
		return path;
	}
};

TEST_F(InfobarOnAnotherSkin, MissingElementsWarnOnceAndGetFallbacks)
{
	ASSERT_TRUE(eDesktopSkin::activate(
		skinFile("<element name=\"ezap_main\" position=\"0,380\" size=\"720,196\">"
				 "<widget name=\"dvbInfoBar\" kind=\"eWidget\" position=\"0,0\" size=\"720,196\"/>"
				 "<widget name=\"e_now_title\" position=\"10,10\" size=\"400,26\"/>"
				 "<widget name=\"time\" position=\"600,10\" size=\"100,26\"/>"
				 "<widget name=\"g_snr_progress\" position=\"0,0\" size=\"10,10\"/>"
				 "</element>")));
	testing::internal::CaptureStderr();
	{
		eOXLEInfo w;
		const std::string warnings = testing::internal::GetCapturedStderr();
		auto count = [&](const std::string& line) {
			size_t n = 0;
			for (size_t at = warnings.find(line); at != std::string::npos; at = warnings.find(line, at + 1))
				++n;
			return n;
		};
		EXPECT_EQ(count("skin has undefined element: fulltime\n"), 1u) << warnings;
		EXPECT_EQ(count("skin has undefined element: conax_no\n"), 1u) << warnings;
		EXPECT_EQ(count("skin has undefined element: e_now_title\n"), 0u) << warnings;
		EXPECT_EQ(count("skin has undefined element: time\n"), 0u) << warnings;
		// An element of the wrong kind is not taken for what it is not.
		EXPECT_EQ(count("skin element g_snr_progress is a"), 1u) << warnings;

		EXPECT_EQ(w.getPosition(), ePoint(0, 380));
		EXPECT_EQ(text(w, "e_now_title"), "Holiday.avi");
		w.updateTime();
		EXPECT_EQ(A::fulltime(w)->getText().size(), 8u) << "the clock stopped without its element";
		EXPECT_EQ(A::time(w)->getText(), A::fulltime(w)->getText());
	}
}

TEST_F(InfobarOnAnotherSkin, SkinWithoutTheBarClosesAtOnce)
{
	ASSERT_TRUE(eDesktopSkin::activate(skinFile("")));
	{
		eOXLEInfo w;
		EXPECT_EQ(w.exec(), 0);
		// The rest of the opening still ran, against fallbacks.
		EXPECT_EQ(server->requests(), std::vector<std::string>{"VLC|GTI|NO"});
		EXPECT_EQ(text(w, "e_now_title"), "<missing e_now_title>");
		EXPECT_EQ(A::nowTitle(w)->getText(), "Holiday.avi");
	}
	EXPECT_FALSE(infoIsVisible);
}

TEST_F(Infobar, LooksLikeAChannelInfobar)
{
	hasPicon = true;
	// The default skin's picon corner; the logo is wider than the slot, so it starts a
	// little further left.
	posx = 624;
	posy = 442;
	const std::string pictures = std::string(OXLE_DATA_DIR) + "/pictures/oxle.png";
	std::error_code error;
	fs::create_directories(fs::path(windowsTestRoot().file(LOGO)).parent_path(), error);
	fs::copy_file(pictures, windowsTestRoot().file(LOGO), fs::copy_options::overwrite_existing, error);
	ASSERT_FALSE(error) << error.message();
	loadFile = "The.Long.Journey.Home.2019.avi";

	// A picture behind the bar: a vertical gradient.
	const int w = 72, h = 58;
	std::vector<uint32_t> frame(size_t(w) * size_t(h));
	for (int y = 0; y < h; ++y)
		for (int x = 0; x < w; ++x)
			frame[size_t(y) * w + x] = uint32_t(0x203040 + (y * 3 << 16) + (x << 8));
	Screen::instance().setVideoFrame(frame.data(), w, h);

	eOXLEInfo bar;
	bar.show();
	Screen::instance().redrawAll();
	const std::vector<uint32_t> withBar = Screen::instance().composite();
	const char* dir = getenv("OXLE_SNAPSHOT_DIR");
	const std::string path = dir && *dir ? std::string(dir) + "/infobar.png" : windowsTestRoot().file("/infobar.png");
	EXPECT_TRUE(Screen::instance().snapshot(path)) << path;

	bar.hide();
	A::logo(bar).hide();
	Screen::instance().redrawAll();
	const std::vector<uint32_t> pictureOnly = Screen::instance().composite();
	Screen::instance().clearVideo();
	auto at = [](const std::vector<uint32_t>& p, int x, int y) { return p[size_t(y) * Screen::width + x] & 0xffffffu; };
	// Above the bar the picture shows through untouched; on the bar and the logo it does not.
	EXPECT_EQ(at(withBar, 100, 200), at(pictureOnly, 100, 200));
	EXPECT_EQ(at(withBar, 700, 300), at(pictureOnly, 700, 300));
	EXPECT_NE(at(withBar, 100, 520), at(pictureOnly, 100, 520));
	EXPECT_NE(at(withBar, 670, 470), at(pictureOnly, 670, 470));
}
} // namespace
