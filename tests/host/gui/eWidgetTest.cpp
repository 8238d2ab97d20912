#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "Screen.h"
#include "eDesktopSkin.h"
#include "eLabel.h"
#include "eMainloop.h"
#include "eStatusBar.h"
#include "eWindow.h"
#include "eZap.h"

namespace
{
// Counts its own destructions.
class Probe : public eWidget
{
public:
	Probe(eWidget* parent, int* deaths) : eWidget(parent), deaths(deaths) {}
	~Probe() override { ++*deaths; }

private:
	int* deaths;
};

class WidgetTest : public testing::Test
{
protected:
	void SetUp() override { eDesktopSkin::activate(GuiTest::defaultSkinPath()); }
};
} // namespace

TEST_F(WidgetTest, DeletingAWidgetDeletesItsSubtree)
{
	int deaths = 0;
	auto* root = new Probe(nullptr, &deaths);
	auto* a = new Probe(root, &deaths);
	new Probe(a, &deaths);
	new Probe(a, &deaths);
	new Probe(root, &deaths);
	EXPECT_EQ(root->getChildren().size(), 2u);
	delete root;
	EXPECT_EQ(deaths, 5);
}

TEST_F(WidgetTest, AChildDeletedFirstUnlinksItself)
{
	int deaths = 0;
	Probe root(nullptr, &deaths);
	auto* a = new Probe(&root, &deaths);
	auto* b = new Probe(&root, &deaths);
	root.setFocus(a);
	delete a;
	EXPECT_EQ(root.getChildren().size(), 1u);
	EXPECT_EQ(root.getChildren().front(), b);
	EXPECT_EQ(root.getFocus(), nullptr);
	// A child held by value goes before its parent's destructor runs.
	{
		int localDeaths = 0;
		struct Holder : eWidget
		{
			explicit Holder(int* d) : member(this, d) {}
			Probe member;
		} holder(&localDeaths);
		EXPECT_EQ(holder.getChildren().size(), 1u);
	}
	EXPECT_EQ(deaths, 1);
}

TEST_F(WidgetTest, TopLevelWidgetsRegisterWithTheScreen)
{
	Screen& s = Screen::instance();
	const size_t before = s.topLevels().size();
	{
		eWidget top;
		eWidget child(&top);
		eWidget onDesktop(eZap::getInstance()->getDesktop());
		EXPECT_EQ(s.topLevels().size(), before + 2);
		EXPECT_EQ(child.getTLW(), &top);
		EXPECT_EQ(onDesktop.getTLW(), &onDesktop);
		// Children show with their parent; top-level widgets start hidden.
		EXPECT_FALSE(top.isShown());
		EXPECT_TRUE(child.isShown());
		EXPECT_FALSE(child.isVisible());
		top.show();
		EXPECT_TRUE(child.isVisible());
	}
	EXPECT_EQ(s.topLevels().size(), before);
	EXPECT_TRUE(eZap::getInstance()->getDesktop()->isVisible());
	EXPECT_FALSE(eZap::getInstance()->getDesktop(eZap::desktopLCD)->isVisible());
}

TEST_F(WidgetTest, SearchIsDepthFirstAndExcludesItself)
{
	eWidget root;
	root.setName("x");
	auto* a = new eWidget(&root);
	a->setName("a");
	auto* deep = new eWidget(a);
	deep->setName("x");
	auto* b = new eWidget(&root);
	b->setName("x");
	EXPECT_EQ(root.search("x"), deep);
	EXPECT_EQ(root.search("a"), a);
	EXPECT_EQ(root.search("nothing"), nullptr);
}

TEST_F(WidgetTest, WindowClientAreaAndAbsolutePositions)
{
	eWindow w;
	w.cmove(ePoint(75, 75));
	w.cresize(eSize(600, 440));
	EXPECT_EQ(w.getClientSize(), eSize(600, 440));
	EXPECT_EQ(w.getPosition(), ePoint(75 - eWindow::borderWidth, 75 - eWindow::borderWidth - eWindow::titleBarHeight));
	auto* label = new eLabel(&w);
	label->move(ePoint(10, 20));
	EXPECT_EQ(label->getAbsolutePosition(), ePoint(85, 95));
	auto* inner = new eLabel(label);
	inner->move(ePoint(1, 2));
	EXPECT_EQ(inner->getAbsolutePosition(), ePoint(86, 97));
}

TEST_F(WidgetTest, JournalTellsWhatTopLevelWindowsDo)
{
	GuiTest::JournalCapture journal;
	{
		eWindow w;
		w.setText("OXLE Settings");
		w.cmove(ePoint(90, 110));
		w.show();
		w.hide();
		w.close(0);
		// A child's moves are not a window's.
		eLabel child(&w);
		child.move(ePoint(5, 5));
	}
	const auto windows = journal.events("window");
	ASSERT_EQ(windows.size(), 4u);
	const char* ops[] = {"move", "show", "hide", "close"};
	for (size_t i = 0; i < windows.size(); ++i)
	{
		EXPECT_EQ(windows[i]["op"], ops[i]);
		EXPECT_EQ(windows[i]["class"], "eWindow");
		EXPECT_EQ(windows[i]["x"], 90);
		EXPECT_EQ(windows[i]["y"], 110);
	}
	const auto titles = journal.events("title");
	ASSERT_EQ(titles.size(), 1u);
	EXPECT_EQ(titles[0]["text"], "OXLE Settings");
}

TEST_F(WidgetTest, StatusBarFollowsTheFocusedWidgetsHelpText)
{
	GuiTest::JournalCapture journal;
	eWindow w;
	auto* status = new eStatusBar(&w);
	auto* first = new eLabel(&w, 0, 1);
	auto* second = new eLabel(&w, 0, 1);
	first->setHelpText("first help");
	second->setHelpText("second help");
	w.show(); // focuses the first focusable child
	EXPECT_EQ(w.getFocus(), first);
	EXPECT_EQ(status->getText(), "first help");
	second->setHelpText("not focused: ignored");
	EXPECT_EQ(status->getText(), "first help");
	w.setFocus(second);
	EXPECT_EQ(status->getText(), "not focused: ignored");
	second->setHelpText("changed");
	EXPECT_EQ(status->getText(), "changed");
	const auto lines = journal.events("status");
	ASSERT_GE(lines.size(), 3u);
	EXPECT_EQ(lines.back()["text"], "changed");
}

TEST_F(WidgetTest, CloseBeforeExecReturnsAtOnce)
{
	eWindow w;
	w.close(3);
	EXPECT_EQ(w.exec(), 3);
	// The request is used up: the next exec runs until closed again.
	EXPECT_EQ(GuiTest::execWith(w, [&w] { w.close(4); }), 4);
}

TEST_F(WidgetTest, HostApplicationQuitsItsMainLoopAndSaysSo)
{
	GuiTest::JournalCapture journal;
	eZap* zap = eZap::getInstance();
	EXPECT_EQ(zap->getDesktop(), Screen::instance().desktop());
	EXPECT_EQ(zap->getDesktop()->getSize(), eSize(Screen::width, Screen::height));
	// A loop of its own, so that the process's eApp stays usable for other tests.
	eMainloop* saved = eApp;
	eMainloop own;
	eApp = &own;
	zap->quit(4);
	eApp = saved;
	EXPECT_TRUE(own.quitRequested());
	EXPECT_EQ(own.exitCode(), 4);
	EXPECT_FALSE(saved->quitRequested());
	const auto lines = journal.events("quit");
	ASSERT_EQ(lines.size(), 1u);
	EXPECT_EQ(lines[0]["code"], 4);
}
