#include "eOXLE_FileInfo.h"

#include "InfobarMath.h"
#include "eAction.h"
#include "eDebug.h"
#include "eLabel.h"
#include "eTCP.h"
#include "i18n.h"

namespace
{
// The list box stands outside the client area, where it is never seen.
const ePoint hiddenListPosition(900, 900);
const eSize hiddenListSize(1, 1);
const ePoint fileInfoTextPosition(10, 10);
const eSize fileInfoTextSize(500, 410);
const int fileInfoListFocusable = 1;

eString send(const char* group, const char* command, const eString& argument)
{
	return eTCP::getInstance()->sendGetRequest(group, command, argument, "", "", false);
}
} // namespace

eOXLE_FileInfo::eOXLE_FileInfo(eString details) : eWindow(0)
{
	init(std::move(details));
}

eOXLE_FileInfo::~eOXLE_FileInfo() = default;

void eOXLE_FileInfo::init(eString details)
{
	cmove(ePoint(clientX, clientY));
	cresize(eSize(clientWidth, clientHeight));
	setText(_("File Info"));

	listbox =
		new eListBox<eListBoxEntryText>(this, eListBoxEntryText::getEntryHeight(), fileInfoListFocusable, "eListBox");
	listbox->move(hiddenListPosition);
	listbox->resize(hiddenListSize);

	addActionMap(&i_cursorActions->map);

	label = new eLabel(this, 0, 0, "eLabel");
	label->move(fileInfoTextPosition);
	label->resize(fileInfoTextSize);
	label->setProperty("wrap", "on");
	label->setText(details);
}

eString fileInfoText(const eString& path)
{
	return send("RQS", "NFO", path);
}

void showFileInfosFor(eWidget& mainWindow, const std::vector<PLAYLIST>& playlist, int index)
{
	eDebug("file infos");
	// The first row of a listing is the way up, never a file.
	if (index == 0)
		return;
	if (index < 0 || size_t(index) >= playlist.size())
	{
		eDebug("file infos: no entry %d in a listing of %zu", index, playlist.size());
		return;
	}
	mainWindow.hide();
	eOXLE_FileInfo window(fileInfoText(playlist[size_t(index)].path));
	window.show();
	window.exec();
	window.hide();
	mainWindow.show();
}

int readInfosRemaining()
{
	PlayStatus status;
	readPlayStatus(send("VLC", "GTI", "NO"), status);
	return remainingSeconds(status);
}
