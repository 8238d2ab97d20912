// The main window's doors to the overlay windows: each is built on the stack, run
// modally and gone when it closes.
#include "LogoConf.h"
#include "eOXLE.h"
#include "eOXLEHelper.h"
#include "eOXLEInfo.h"
#include "eOXLESettings.h"
#include "eOXLEStream.h"
#include "eOXLE_FileInfo.h"

namespace
{
template <class Window> void runModal(Window& window)
{
	window.show();
	window.exec();
	window.hide();
}
} // namespace

int eOXLE::readInfos()
{
	return readInfosRemaining();
}

void eOXLE::showFileInfos()
{
	showFileInfosFor(*this, playlist, currentIndex);
}

int eOXLE::readLogoConf()
{
	return readPiconTable();
}

void eOXLE::openInfobar()
{
	eOXLEInfo infobar;
	runModal(infobar);
}

void eOXLE::openHelp()
{
	eOXLEHelper help;
	runModal(help);
}

void eOXLE::openStreamInfo()
{
	eOXLEStream streamInfo;
	runModal(streamInfo);
}

void eOXLE::openSettings()
{
	hide();
	// The settings are saved when the window goes, after the browser is back.
	eOXLESettings settings;
	runModal(settings);
	show();
}
