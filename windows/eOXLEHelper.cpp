#include "eOXLEHelper.h"

#include <cstring>

#include "boxPath.h"
#include "eListBoxEntryOXLE.h"
#include "i18n.h"
#include "oxleConfig.h"
#include "oxleGlobals.h"

namespace
{
const char versionText[] = "2.0.0";
const char endMarker[] = " ";
const ePoint listPosition(5, 5);
const int listMargin = 10;
const int focusableList = 1;
const int rowIndex = 0;
} // namespace

const char* const helpTexts[] = {
	"OK: Show/hide Infobar",
	"Up: Show some Stream Infos",
	"Down: Show Menu during Streaming",
	"Help: Show this",
	"Vol+: Volume Up",
	"Vol-: Volume Down",
	"Exit: Cancel playback and exit",
	"Red: Start skipping/seeking reverse",
	"Blue: Enter Settings/Start skipping/seeking forward / VolUp(Streambar)",
	"Green: Set Shutdown Mode / Play",
	"Yellow: Pause / VolDown(Streambar)",
	"1(4) <-> 3(6): Startoffset",
	"1-8: Seek +1-8 minutes ",
	"9: Activate Skip Mode/disabling SkipMode ",
	"0: Set Jump value to 1min.",
	endMarker,
};

eOXLEHelper::eOXLEHelper() : eWindow(0)
{
	init();
}

eOXLEHelper::~eOXLEHelper()
{
	// The rows borrow the icon: they go first.
	delete listbox;
	listbox = nullptr;
}

void eOXLEHelper::init()
{
	cmove(ePoint(clientX, clientY));
	cresize(eSize(clientWidth, clientHeight));
	setText(_("Help"));

	listbox = new eListBox<eListBoxEntryOXLE>(this, eListBoxEntryText::getEntryHeight(), focusableList, "eListBox");
	listbox->move(listPosition);
	const eSize client = getClientSize();
	listbox->resize(eSize(client.width() - listMargin, client.height() - listMargin));

	icon.reset(loadPNG(boxPath(OXLE_PICTURES "help.png").c_str()));
	new eListBoxEntryOXLE(listbox, versionText, icon.get(), rowIndex);
	for (const char* const* line = helpTexts; std::strcmp(*line, endMarker) > 0; ++line)
		new eListBoxEntryOXLE(listbox, *line, icon.get(), rowIndex);
}
