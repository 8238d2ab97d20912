// Members of the main window whose behaviour arrives with later work. Each keeps the
// window's contract (the slots exist and can be connected) and does nothing yet.
#include "eOXLE.h"

void eOXLE::playerStart(int)
{
	// comes with the playback work
}

void eOXLE::timerHandler()
{
	// comes with the playback work
}

void eOXLE::wTimer()
{
	// comes with the playback work
}

void eOXLE::parseTimerList()
{
	// comes with the timer-list guard work
}

void eOXLE::doPause()
{
	// comes with the pause and closing work
}

void eOXLE::releasePause()
{
	// comes with the pause and closing work
}

void eOXLE::showMenu()
{
	// comes with the pause and closing work
}

void eOXLE::showInfo()
{
	// comes with the pause and closing work
}

void eOXLE::updateVolume(int, int)
{
	// comes with the pause and closing work
}

void eOXLE::hideVolumeBar()
{
	// comes with the pause and closing work
}

void eOXLE::closeApp()
{
	// comes with the pause and closing work
}

int eOXLE::readInfos()
{
	// comes with the information windows work
	return 0;
}

void eOXLE::showFileInfos()
{
	// comes with the information windows work
}

int eOXLE::readLogoConf()
{
	// comes with the station logos work; until then there is no logo table
	return -1;
}
