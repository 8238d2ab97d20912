// The help window's rows.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TempBoxRoot.h"
#include "WindowsTestHost.h"
#include "eListBoxEntryOXLE.h"
#include "eOXLEHelper.h"
#include "oxleGlobals.h"

struct eOXLEHelperTestAccess
{
	static eListBox<eListBoxEntryOXLE>* listbox(eOXLEHelper& w) { return w.listbox; }
};
using A = eOXLEHelperTestAccess;

namespace
{
namespace fs = std::filesystem;
const char ICON[] = OXLE_PICTURES "help.png";

std::vector<std::string> rowTexts(eOXLEHelper& w)
{
	std::vector<std::string> texts;
	for (eListBoxEntry* e : A::listbox(w)->getEntries())
		texts.push_back(static_cast<eListBoxEntryOXLE*>(e)->getText());
	return texts;
}

TEST(HelpWindow, SixteenRowsInOrderWithTheHelpIcon)
{
	std::error_code error;
	fs::create_directories(fs::path(windowsTestRoot().file(ICON)).parent_path(), error);
	fs::copy_file(std::string(OXLE_DATA_DIR) + "/pictures/help.png", windowsTestRoot().file(ICON),
		fs::copy_options::overwrite_existing, error);
	ASSERT_FALSE(error) << error.message();

	eOXLEHelper w;
	EXPECT_EQ(w.getText(), "Help");
	const std::vector<std::string> expected = {"2.0.0", "OK: Show/hide Infobar", "Up: Show some Stream Infos",
		"Down: Show Menu during Streaming", "Help: Show this", "Vol+: Volume Up", "Vol-: Volume Down",
		"Exit: Cancel playback and exit", "Red: Start skipping/seeking reverse",
		"Blue: Enter Settings/Start skipping/seeking forward / VolUp(Streambar)", "Green: Set Shutdown Mode / Play",
		"Yellow: Pause / VolDown(Streambar)", "1(4) <-> 3(6): Startoffset", "1-8: Seek +1-8 minutes ",
		"9: Activate Skip Mode/disabling SkipMode ", "0: Set Jump value to 1min."};
	EXPECT_EQ(rowTexts(w), expected);
	for (eListBoxEntry* e : A::listbox(w)->getEntries())
	{
		auto* row = static_cast<eListBoxEntryOXLE*>(e);
		EXPECT_NE(row->getIcon(), nullptr) << row->getText();
		EXPECT_EQ(row->getIcon(), static_cast<eListBoxEntryOXLE*>(A::listbox(w)->getEntries().front())->getIcon());
		EXPECT_EQ(row->getIndex(), 0);
	}
	const eSize client = w.getClientSize();
	EXPECT_EQ(A::listbox(w)->getSize(), eSize(client.width() - 10, client.height() - 10));
	EXPECT_EQ(A::listbox(w)->getPosition(), ePoint(5, 5));
}

TEST(HelpWindow, WithoutTheIconTheRowsStayButHaveNone)
{
	std::error_code error;
	fs::remove(windowsTestRoot().file(ICON), error);
	eOXLEHelper w;
	EXPECT_EQ(A::listbox(w)->getCount(), 16);
	for (eListBoxEntry* e : A::listbox(w)->getEntries())
		EXPECT_EQ(static_cast<eListBoxEntryOXLE*>(e)->getIcon(), nullptr);
}
} // namespace
