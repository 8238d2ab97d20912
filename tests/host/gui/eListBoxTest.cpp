#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "eDesktopSkin.h"
#include "eListBox.h"
#include "eWindow.h"

namespace
{
class CountedEntry : public eListBoxEntryText
{
public:
	CountedEntry(eListBoxBase* list, const char* text, int* deaths) : eListBoxEntryText(list, text), deaths(deaths) {}
	~CountedEntry() override { ++*deaths; }

private:
	int* deaths;
};

// A row that is not a text row: it tells its text only through redraw.
class DrawnEntry : public eListBoxEntry
{
public:
	DrawnEntry(eListBoxBase* list, const eString& t) : eListBoxEntry(list), label(t) {}
	const eString& redraw(gPainter*, const eRect&, gColor, gColor, gColor, gColor, int) override { return label; }

private:
	eString label;
};

class ListTest : public testing::Test
{
protected:
	void SetUp() override
	{
		eDesktopSkin::activate(GuiTest::defaultSkinPath());
		window.cmove(ePoint(75, 75));
		window.cresize(eSize(600, 440));
		list = new eListBox<eListBoxEntryText>(&window);
		list->move(ePoint(10, 40));
		list->resize(eSize(580, 2 * 2 + 5 * list->getEntryHeightOwn()));
		list->selchanged.connect([this](eListBoxEntryText* e) { changes.push_back(e ? e->getText() : "(null)"); });
	}

	eWindow window;
	eListBox<eListBoxEntryText>* list = nullptr;
	std::vector<std::string> changes;
};
} // namespace

TEST_F(ListTest, EntryHeightComesFromTheListFont)
{
	const int padding = 10;
	EXPECT_EQ(eListBoxEntryText::getEntryHeight(),
		eSkin::getActive()->queryFont("eListBox.EntryText.normal").pointSize + padding);
	EXPECT_EQ(list->getEntryHeightOwn(), eListBoxEntryText::getEntryHeight());
	eListBox<eListBoxEntryText> own(&window, 44);
	EXPECT_EQ(own.getEntryHeightOwn(), 44);
}

TEST_F(ListTest, AtomicRebuildWritesOneListLine)
{
	GuiTest::JournalCapture journal;
	eListBoxEntryText* chosen = nullptr;
	list->beginAtomic();
	list->clearList();
	list->beginAtomic(); // nested: only the outermost end counts
	for (const char* t : {"alpha", "beta", "gamma"})
	{
		auto* e = new eListBoxEntryText(list, t);
		if (std::string(t) == "beta")
			chosen = e;
	}
	list->endAtomic();
	list->setCurrent(chosen, false);
	EXPECT_TRUE(journal.events("list").empty());
	EXPECT_TRUE(changes.empty());
	list->endAtomic();
	GuiTest::drainLoop();

	const auto lines = journal.events("list");
	ASSERT_EQ(lines.size(), 1u);
	EXPECT_EQ(lines[0]["rows"], nlohmann::json({"alpha", "beta", "gamma"}));
	EXPECT_EQ(lines[0]["current"], 1);
	// The selection change held back during the update comes once, at its end.
	EXPECT_EQ(changes, std::vector<std::string>({"beta"}));
}

TEST_F(ListTest, AppendsOutsideAnUpdateAreJournalledOnceTheRowsExist)
{
	GuiTest::JournalCapture journal;
	new eListBoxEntryText(list, "one");
	new eListBoxEntryText(list, eString("two"));
	auto* drawn = new DrawnEntry(list, "drawn");
	list->append(drawn); // appending again changes nothing
	EXPECT_EQ(list->getCount(), 3);
	GuiTest::drainLoop();
	const auto lines = journal.events("list");
	ASSERT_EQ(lines.size(), 1u);
	EXPECT_EQ(lines[0]["rows"], nlohmann::json({"one", "two", "drawn"}));
	EXPECT_EQ(lines[0]["current"], 0);
	EXPECT_TRUE(changes.empty()); // the first row became current without a signal
}

TEST_F(ListTest, SetCurrentSignalsAndScrollsIntoView)
{
	std::vector<eListBoxEntryText*> rows;
	list->beginAtomic();
	for (int i = 0; i < 20; ++i)
		rows.push_back(new eListBoxEntryText(list, eString::sprintf("row %d", i)));
	list->endAtomic();
	ASSERT_EQ(list->getCurrent(), rows[0]);
	EXPECT_EQ(list->getTop(), 0);

	GuiTest::JournalCapture journal;
	list->setCurrent(rows[12], false);
	EXPECT_EQ(list->getCurrent(), rows[12]);
	EXPECT_EQ(changes, std::vector<std::string>({"row 12"}));
	// Five rows are visible: row 12 is the last one on screen.
	EXPECT_EQ(list->getTop(), 8);
	const auto lines = journal.events("list");
	ASSERT_EQ(lines.size(), 1u);
	EXPECT_EQ(lines[0]["current"], 12);

	list->setCurrent(rows[3], false);
	EXPECT_EQ(list->getTop(), 3);
	// A row that is not in the list changes nothing.
	eListBox<eListBoxEntryText> other(&window);
	auto* stranger = new eListBoxEntryText(&other, "stranger");
	list->setCurrent(stranger, false);
	EXPECT_EQ(list->getCurrent(), rows[3]);
}

TEST_F(ListTest, ClearListDeletesRowsAndTakeHandsThemBack)
{
	int deaths = 0;
	auto* a = new CountedEntry(list, "a", &deaths);
	auto* b = new CountedEntry(list, "b", &deaths);
	new CountedEntry(list, "c", &deaths);
	list->setCurrent(a, false);
	list->take(a);
	EXPECT_EQ(list->getCount(), 2);
	EXPECT_EQ(list->getCurrent(), b); // the current row moved on
	EXPECT_EQ(deaths, 0);
	delete b; // a row deleted by its owner leaves the list
	EXPECT_EQ(list->getCount(), 1);
	list->clearList();
	EXPECT_EQ(list->getCount(), 0);
	EXPECT_EQ(list->getCurrent(), nullptr);
	EXPECT_EQ(deaths, 2);
	delete a;
	EXPECT_EQ(deaths, 3);
	// Rows still in the list go with it.
	new CountedEntry(list, "d", &deaths);
	delete list;
	EXPECT_EQ(deaths, 4);
}
