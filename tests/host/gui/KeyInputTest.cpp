#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "KeyInput.h"
#include "ModalStack.h"
#include "eAVSwitch.h"
#include "eDesktopSkin.h"
#include "eLabel.h"
#include "eListBox.h"
#include "eMainloop.h"
#include "eNumber.h"
#include "eSlider.h"
#include "eTextInputField.h"
#include "eWindow.h"

namespace
{
class KeyTest : public testing::Test
{
protected:
	void SetUp() override
	{
		eDesktopSkin::activate(GuiTest::defaultSkinPath());
		window.cmove(ePoint(60, 90));
		window.cresize(eSize(620, 430));
	}

	static void press(std::initializer_list<const char*> keys)
	{
		for (const char* k : keys)
			EXPECT_TRUE(KeyInput::press(k)) << k;
	}

	eWindow window;
};

// A window that closes itself from a timer slot of its own.
class SelfClosing : public eWindow
{
public:
	SelfClosing() : timer(eApp) { timer.timeout.connect(sigc::mem_fun(*this, &SelfClosing::done)); }
	void arm() { timer.start(10, true); }

private:
	void done() { close(11); }
	eTimer timer;
};
} // namespace

TEST(KeyNames, AreTheRemoteControlsKeys)
{
	for (const char* k : {"up", "down", "left", "right", "ok", "exit", "help", "red", "green", "yellow", "blue", "0",
			 "9", "volup", "voldown", "mute", "audio"})
		EXPECT_TRUE(KeyInput::isKeyName(k)) << k;
	for (const char* k : {"", "Up", "10", "menu", "power"})
		EXPECT_FALSE(KeyInput::isKeyName(k)) << k;
	testing::internal::CaptureStderr();
	EXPECT_FALSE(KeyInput::press("power"));
	EXPECT_NE(testing::internal::GetCapturedStderr().find("power"), std::string::npos);
}

TEST_F(KeyTest, FocusedListMovesOnUpDownAndSelectsOnOk)
{
	auto* list = new eListBox<eListBoxEntryText>(&window);
	list->move(ePoint(5, 5));
	list->resize(eSize(600, 300));
	for (const char* t : {"first", "second", "third"})
		new eListBoxEntryText(list, t);
	std::vector<std::string> moves;
	std::string chosen;
	list->selchanged.connect([&](eListBoxEntryText* e) { moves.push_back(e->getText()); });
	list->selected.connect([&](eListBoxEntryText* e) {
		chosen = e->getText();
		window.close(7);
	});
	window.show();
	ASSERT_EQ(window.getFocus(), list);

	GuiTest::JournalCapture journal;
	const int r = GuiTest::execWith(window, [] { press({"down", "down", "down", "up", "ok"}); });
	EXPECT_EQ(r, 7);
	EXPECT_EQ(chosen, "second");
	// Down at the last row stays there and signals nothing.
	EXPECT_EQ(moves, std::vector<std::string>({"second", "third", "second"}));
	EXPECT_EQ(journal.events("key").size(), 5u);
	EXPECT_EQ(journal.events("key")[4]["key"], "ok");
}

TEST_F(KeyTest, UnhandledExitClosesTheWindow)
{
	new eLabel(&window);
	window.show();
	EXPECT_EQ(GuiTest::execWith(window, [] { press({"red", "5", "help", "exit"}); }), -1);
	EXPECT_EQ(ModalStack::top(), nullptr);
}

TEST_F(KeyTest, KeysWalkTheFocusAndReachTheFocusedField)
{
	auto* address = new eTextInputField(&window);
	address->setUseableChars(".0123456789");
	address->setMaxChars(5);
	auto* slider = new eSlider(&window, nullptr, 0, 25);
	slider->setValue(16);
	int init = 5;
	auto* number = new eNumber(&window, 1, 0, 99, 2, &init);
	std::vector<int> sliderValues;
	slider->changed.connect([&](int v) { sliderValues.push_back(v); });
	window.show();
	ASSERT_EQ(window.getFocus(), address);

	GuiTest::execWith(window, [&] {
		// "5" does not fit any more; left takes the last character back.
		press({"1", "2", "right", "3", "4", "5", "left"});
		EXPECT_EQ(address->getText(), "12.3");
		press({"down", "right", "right", "left"});
		EXPECT_EQ(window.getFocus(), slider);
		press({"down"});
		EXPECT_EQ(window.getFocus(), number);
		press({"7", "3"});
		EXPECT_EQ(number->getNumber(), 73);
		press({"4"});
		EXPECT_EQ(number->getNumber(), 4);
		press({"up", "up", "exit"});
	});
	EXPECT_EQ(window.getFocus(), address);
	EXPECT_EQ(slider->getValue(), 17);
	EXPECT_EQ(slider->getPerc(), 17 * 100 / 25);
	EXPECT_EQ(sliderValues, std::vector<int>({17, 18, 17}));
}

TEST_F(KeyTest, AudioKeyIsTheCursorMapsRightAction)
{
	struct Catcher : eWindow
	{
		std::vector<const eAction*> seen;
		int eventHandler(const eWidgetEvent& ev) override
		{
			if (ev.type != eWidgetEvent::evtAction)
				return eWindow::eventHandler(ev);
			seen.push_back(ev.action);
			if (ev.action == &i_cursorActions->ok)
				close(0);
			return 1;
		}
	} catcher;
	catcher.show();
	GuiTest::execWith(catcher, [] { press({"audio", "right", "blue", "9", "ok"}); });
	const std::vector<const eAction*> want = {&i_cursorActions->right, &i_cursorActions->right,
		&i_shortcutActions->blue, &i_shortcutActions->number9, &i_cursorActions->ok};
	EXPECT_EQ(catcher.seen, want);
}

TEST_F(KeyTest, VolumeKeysStepTheVolumeSwitch)
{
	eAVSwitch* avs = eAVSwitch::getInstance();
	ASSERT_TRUE(avs);
	avs->changeVolume(1, 30);
	const bool muted = avs->getMute();
	press({"volup", "volup", "voldown"});
	EXPECT_EQ(avs->getVolume(), 29); // attenuation: up lowers it
	press({"mute"});
	EXPECT_NE(avs->getMute(), muted);
	press({"mute"});
	EXPECT_EQ(avs->getMute(), muted);
}

TEST_F(KeyTest, CloseEndsOnlyTheInnermostExec)
{
	std::vector<std::string> order;
	window.show();
	const int outer = GuiTest::execWith(window, [&] {
		eWindow inner;
		inner.show();
		const int r = GuiTest::execWith(inner, [] { press({"exit"}); });
		order.push_back("inner " + std::to_string(r));
		EXPECT_TRUE(window.isExecuting());
		EXPECT_EQ(ModalStack::top(), &window);
		eApp->post([&] {
			order.push_back("outer still running");
			window.close(9);
		});
	});
	order.push_back("outer " + std::to_string(outer));
	EXPECT_EQ(order, std::vector<std::string>({"inner -1", "outer still running", "outer 9"}));
}

TEST_F(KeyTest, AnOuterWindowClosedDuringAnInnerExecEndsAfterIt)
{
	window.show();
	int innerResult = 0;
	const int outer = GuiTest::execWith(window, [&] {
		eWindow inner;
		inner.show();
		innerResult = GuiTest::execWith(inner, [&] {
			window.close(5);
			// The keys still go to the inner window.
			press({"exit"});
		});
	});
	EXPECT_EQ(innerResult, -1);
	EXPECT_EQ(outer, 5);
}

TEST_F(KeyTest, AWindowClosesItselfFromItsOwnSlotAndIsDeletedAfterExec)
{
	auto* w = new SelfClosing;
	w->show();
	w->arm();
	const int r = w->exec();
	delete w;
	EXPECT_EQ(r, 11);
	EXPECT_EQ(ModalStack::top(), nullptr);
}

TEST_F(KeyTest, ATimerStopsItselfFromItsSlot)
{
	eTimer ticker(eApp), finish(eApp);
	int ticks = 0;
	ticker.timeout.connect([&] {
		if (++ticks == 3)
			ticker.stop();
	});
	finish.timeout.connect([&] { window.close(1); });
	ticker.start(5);
	finish.start(100, true);
	window.show();
	EXPECT_EQ(GuiTest::execWith(window, [] {}), 1);
	EXPECT_EQ(ticks, 3);
	EXPECT_FALSE(ticker.isActive());
}
