#include <string>

#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "eDesktopSkin.h"
#include "eLabel.h"
#include "eProgress.h"
#include "eWidget.h"

namespace
{
int warningLines(const std::string& err)
{
	int n = 0;
	for (size_t at = 0; (at = err.find("W: ", at)) != std::string::npos; at += 3)
		++n;
	return n;
}

const char* const smallSkin = R"(<?xml version="1.0"?>
<skin>
	<colors>
		<color name="bar" value="#102030"/>
		<color name="see-through" value="#80ffffff"/>
		<color name="text" value="#fafafa"/>
	</colors>
	<fonts><font name="big" family="Bold" size="30"/></fonts>
	<values><value name="answer" value="42"/></values>
	<images><image name="broken" file="broken.png"/></images>
	<elements>
		<element name="panel" position="10,20" size="300,100">
			<widget name="back" kind="eWidget" position="0,0" size="300,100" backgroundColor="bar">
				<widget name="inner" position="5,5" size="50,20" text="in" foregroundColor="text"/>
			</widget>
			<widget name="title" position="60,10" size="200,30" font="big" align="center" text="Title"/>
			<widget name="meter" kind="eProgress" position="60,50" size="200,10" leftColor="#00ff00" border="1"/>
			<widget name="odd" kind="eGizmo" position="1,1" size="2,2"/>
		</element>
	</elements>
</skin>
)";

class SkinTest : public testing::Test
{
protected:
	void TearDown() override { eDesktopSkin::activate(GuiTest::defaultSkinPath()); }
	GuiTest::TempDir dir;
};
} // namespace

TEST_F(SkinTest, DefaultSkinHasEverythingThePluginAsksFor)
{
	testing::internal::CaptureStderr();
	ASSERT_TRUE(eDesktopSkin::activate(GuiTest::defaultSkinPath()));
	eSkin* skin = eSkin::getActive();
	for (const char* c : {"std_dred", "std_dgreen", "std_dyellow", "std_dblue", "volume_left", "volume_right",
			 "global.normal.background", "global.normal.foreground", "global.selected.background", "eWindow.background",
			 "eListBox.background", "eListBox.highlight.background", "eLabel.osd.background"})
		EXPECT_TRUE(skin->queryColor(c).valid) << c;
	for (const char* f : {"eListBox.EntryText.normal", "global.normal", "global.large"})
		EXPECT_FALSE(skin->queryFont(f).isNull()) << f;
	EXPECT_EQ(skin->queryValue("fontsize", 0), 20);
	for (const char* v : {"volume.grafik.pos.x", "volume.grafik.pos.y", "g_volume.progress.pos.x",
			 "g_volume.progress.pos.y", "g_volume.progress.width", "g_volume.progress.height", "volume.slider.pos.x",
			 "volume.slider.pos.y", "volume.slider.width", "volume.slider.height"})
		EXPECT_NE(skin->queryValue(v, -1), -1) << v;
	gPixmap* panel = skin->queryImage("volume_grafik");
	gPixmap* bar = skin->queryImage("g_volume_progress");
	ASSERT_TRUE(panel && bar);
	// The bar picture fits the size the skin announces for it.
	EXPECT_EQ(bar->width(), skin->queryValue("g_volume.progress.width", 0));
	EXPECT_EQ(bar->height(), skin->queryValue("g_volume.progress.height", 0));
	EXPECT_EQ(skin->queryImage("volume_grafik"), panel); // the skin keeps its images
	EXPECT_EQ(warningLines(testing::internal::GetCapturedStderr()), 0);
}

TEST_F(SkinTest, InfobarElementPlacesPremadeWidgetsAndMakesTheRest)
{
	eDesktopSkin::activate(GuiTest::defaultSkinPath());
	eWidget infobar;
	auto* dvb = new eWidget(&infobar);
	dvb->setName("dvbInfoBar");
	auto* bar = new eProgress(&infobar);
	bar->setName("progress_bar");
	auto* fileBar = new eWidget(&infobar);
	fileBar->setName("fileInfoBar");
	auto* fileInfos = new eLabel(fileBar);
	fileInfos->setName("fileinfos");

	testing::internal::CaptureStderr();
	ASSERT_EQ(eSkin::getActive()->build(&infobar, "ezap_main"), 0);
	EXPECT_EQ(warningLines(testing::internal::GetCapturedStderr()), 0);

	// A bar across the lower part of the screen.
	EXPECT_EQ(infobar.getPosition().y, 400);
	EXPECT_EQ(infobar.getSize(), eSize(720, 176));
	EXPECT_EQ(dvb->getSize(), eSize(720, 176));
	EXPECT_TRUE(dvb->getBackgroundColor().valid);
	EXPECT_EQ(bar->getSize().h, 10);
	EXPECT_EQ(infobar.search("fileinfos"), fileInfos);
	EXPECT_EQ(fileInfos->getParent(), fileBar);

	for (const char* name : {"ch_number", "ch_name", "e_now_title", "e_next_title", "e_now_time", "e_next_time",
			 "e_now_duration", "e_next_duration", "date", "time", "fulltime", "description", "pro_name", "videoformat",
			 "red_text", "green_text", "yellow_text", "blue_text", "progress_event", "Picon", "cam_info", "fc_text",
			 "snr_text", "button_red_enabled", "osd_dolby_on", "recStatus", "dvrInfoBar", "conax_no", "beta_emm"})
	{
		eWidget* w = infobar.search(name);
		ASSERT_TRUE(w) << name;
		EXPECT_GT(w->getSize().w, 0) << name;
		EXPECT_TRUE(dynamic_cast<eLabel*>(w)) << name;
	}
	for (const char* name : {"g_snr_progress", "g_agc_progress", "g_ber_progress"})
		EXPECT_TRUE(dynamic_cast<eProgress*>(infobar.search(name))) << name;
	// Pre-made widgets are found, not duplicated.
	int dvbCount = 0;
	for (eWidget* w : infobar.getChildren())
		dvbCount += w->getName() == "dvbInfoBar";
	EXPECT_EQ(dvbCount, 1);
	// Every element lies inside the bar.
	for (eWidget* w : infobar.getChildren())
	{
		EXPECT_LE(w->getPosition().x + w->getSize().w, 720) << w->getName();
		EXPECT_LE(w->getPosition().y + w->getSize().h, 176) << w->getName();
	}
}

TEST_F(SkinTest, BuildAppliesPropertiesAndNestsChildren)
{
	GuiTest::writeFile(dir.file("skin.xml"), smallSkin);
	ASSERT_TRUE(eDesktopSkin::activate(dir.file("skin.xml")));
	eWidget root;
	auto* title = new eLabel(&root);
	title->setName("title");

	testing::internal::CaptureStderr();
	EXPECT_EQ(eSkin::getActive()->build(&root, "panel"), 0);
	const std::string err = testing::internal::GetCapturedStderr();
	EXPECT_NE(err.find("unknown widget kind \"eGizmo\""), std::string::npos) << err;

	EXPECT_EQ(root.getPosition(), ePoint(10, 20));
	EXPECT_EQ(title->getPosition(), ePoint(60, 10));
	EXPECT_EQ(title->getText(), "Title");
	EXPECT_EQ(title->getFont().family, "Bold");
	EXPECT_EQ(title->getFont().pointSize, 30);
	eWidget* back = root.search("back");
	ASSERT_TRUE(back);
	EXPECT_EQ(back->className(), std::string("eWidget"));
	EXPECT_EQ(back->getBackgroundColor().color, gRGB(0x10, 0x20, 0x30));
	eWidget* inner = root.search("inner");
	ASSERT_TRUE(inner);
	EXPECT_EQ(inner->getParent(), back);
	EXPECT_EQ(inner->getText(), "in");
	EXPECT_EQ(inner->getAbsolutePosition(), ePoint(15, 25));
	auto* meter = dynamic_cast<eProgress*>(root.search("meter"));
	ASSERT_TRUE(meter);
	EXPECT_EQ(meter->border, 1);
	EXPECT_TRUE(dynamic_cast<eLabel*>(root.search("odd")));
}

TEST_F(SkinTest, MissingNamesWarnOnceAndFallBack)
{
	GuiTest::writeFile(dir.file("skin.xml"), smallSkin);
	ASSERT_TRUE(eDesktopSkin::activate(dir.file("skin.xml")));
	eSkin* skin = eSkin::getActive();
	eWidget w;

	testing::internal::CaptureStderr();
	for (int round = 0; round < 2; ++round)
	{
		const gColor grey = skin->queryColor("nope");
		EXPECT_TRUE(grey.valid);
		EXPECT_EQ(grey.color, gRGB(0x80, 0x80, 0x80));
		const gFont f = skin->queryFont("nope");
		EXPECT_EQ(f.family, "Regular");
		EXPECT_EQ(f.pointSize, eDesktopSkin::defaultFontSize);
		EXPECT_EQ(skin->queryValue("nope", 7), 7);
		EXPECT_EQ(skin->queryImage("nope"), nullptr);
		EXPECT_NE(skin->build(&w, "nope"), 0);
	}
	// Five missing names, one line each however often they are asked for.
	EXPECT_EQ(warningLines(testing::internal::GetCapturedStderr()), 5);

	// A listed image whose file is missing: loadPNG's one warning, then null for good.
	testing::internal::CaptureStderr();
	EXPECT_EQ(skin->queryImage("broken"), nullptr);
	EXPECT_EQ(skin->queryImage("broken"), nullptr);
	EXPECT_EQ(warningLines(testing::internal::GetCapturedStderr()), 1);

	EXPECT_EQ(skin->queryValue("answer", 0), 42);
	EXPECT_EQ(skin->queryColor("see-through").color.a, 0x80);
}

TEST_F(SkinTest, UnreadableSkinFilesLeaveAnEmptySkin)
{
	GuiTest::writeFile(dir.file("bad.xml"), "<skin><colors><color name=\"x\" value=\"#fff\"></skin>");
	for (const std::string& path : {dir.file("bad.xml"), dir.file("absent.xml")})
	{
		testing::internal::CaptureStderr();
		EXPECT_FALSE(eDesktopSkin::activate(path)) << path;
		eSkin* skin = eSkin::getActive();
		EXPECT_TRUE(skin->queryColor("std_dred").valid);
		eWidget w;
		EXPECT_NE(skin->build(&w, "ezap_main"), 0);
		EXPECT_GE(warningLines(testing::internal::GetCapturedStderr()), 3) << path;
	}
}

TEST_F(SkinTest, ColourAndFontPropertyValues)
{
	eDesktopSkin::activate(GuiTest::defaultSkinPath());
	eDesktopSkin* skin = eDesktopSkin::active();
	struct Case
	{
		const char* text;
		bool ok;
		uint32_t argb;
	};
	const Case cases[] = {
		{"#102030", true, 0x00102030u},
		{"#ff102030", true, 0xff102030u},
		{"#1020", false, 0},
		{"102030", false, 0},
		{"#10203g", false, 0},
	};
	for (const Case& c : cases)
	{
		gColor out;
		EXPECT_EQ(eDesktopSkin::parseHexColor(c.text, out), c.ok) << c.text;
		if (c.ok)
		{
			EXPECT_EQ(out.color.argb(), c.argb) << c.text;
		}
	}
	EXPECT_EQ(skin->parseColor("std_dred").color, gRGB(0xa0, 0x18, 0x18));
	const gFont mono = skin->parseFont("Mono:14");
	EXPECT_EQ(mono.family, "Mono");
	EXPECT_EQ(mono.pointSize, 14);
	EXPECT_EQ(skin->parseFont("global.large").family, "Bold");
}
