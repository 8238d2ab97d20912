#include <string>

#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "KeyInput.h"
#include "Screen.h"
#include "eDesktopSkin.h"
#include "eMessageBox.h"

namespace
{
class MessageBoxTest : public testing::Test
{
protected:
	void SetUp() override { eDesktopSkin::activate(GuiTest::defaultSkinPath()); }
	GuiTest::JournalCapture journal;
};
} // namespace

TEST_F(MessageBoxTest, ATimeOutClosesTheBoxWithTheDefaultButton)
{
	eMessageBox box("Seeking 1 min. forward, please wait...", "Seek Info", eMessageBox::btOK | eMessageBox::iconInfo,
		eMessageBox::btOK, 1);
	box.show();
	EXPECT_EQ(GuiTest::execWith(box, [] {}), eMessageBox::btOK);
	box.hide();

	const auto shown = journal.events("msgbox");
	ASSERT_EQ(shown.size(), 1u);
	EXPECT_EQ(shown[0]["text"], "Seeking 1 min. forward, please wait...");
	EXPECT_EQ(shown[0]["caption"], "Seek Info");
	EXPECT_EQ(shown[0]["flags"], 17);
	EXPECT_EQ(shown[0]["timeout"], 1);
	const auto closed = journal.events("msgbox_close");
	ASSERT_EQ(closed.size(), 1u);
	EXPECT_EQ(closed[0]["caption"], "Seek Info");
	EXPECT_EQ(closed[0]["result"], eMessageBox::btOK);
}

TEST_F(MessageBoxTest, KeysCloseTheBoxWithTheButtonsValue)
{
	struct Case
	{
		int flags, def;
		std::initializer_list<const char*> keys;
		int result;
	};
	const Case cases[] = {
		{eMessageBox::btOK | eMessageBox::iconError, eMessageBox::btOK, {"ok"}, eMessageBox::btOK},
		{eMessageBox::btOK, eMessageBox::btOK, {"exit"}, -1},
		{eMessageBox::btYes | eMessageBox::btNo, eMessageBox::btNo, {"ok"}, eMessageBox::btNo},
		{eMessageBox::btYes | eMessageBox::btNo, eMessageBox::btNo, {"left", "ok"}, eMessageBox::btYes},
		{eMessageBox::iconInfo, 1, {"red", "down", "ok"}, 1}, // no buttons: OK gives the default
	};
	for (const Case& c : cases)
	{
		eMessageBox box("text", "caption", c.flags, c.def);
		box.show();
		const int r = GuiTest::execWith(box, [&c] {
			for (const char* k : c.keys)
				KeyInput::press(k);
		});
		EXPECT_EQ(r, c.result) << c.flags;
	}
	EXPECT_EQ(journal.events("msgbox_close").size(), 5u);
}

TEST_F(MessageBoxTest, LongTextWrapsInsideACentredBox)
{
	std::string words;
	for (int i = 0; i < 30; ++i)
		words += "word ";
	eMessageBox box(words, "Info", eMessageBox::btOK | eMessageBox::iconInfo);
	const eRect r = box.getAbsoluteRect();
	EXPECT_GE(r.left(), 0);
	EXPECT_LE(r.right(), Screen::width);
	EXPECT_NEAR(r.left(), Screen::width - r.right(), 1);
	EXPECT_GT(r.height(), 3 * 20); // several lines of text
}

TEST_F(MessageBoxTest, AShownNoticeThatIsHiddenIsJournalledAsClosed)
{
	eMessageBox pause("Stream paused. Press yellow or green to release.", "Information", 16, 1);
	pause.show();
	pause.hide();
	pause.show();
	EXPECT_EQ(journal.events("msgbox").size(), 2u);
	EXPECT_EQ(journal.events("msgbox_close").size(), 1u);
}
