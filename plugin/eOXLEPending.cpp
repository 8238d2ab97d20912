// Members of the main window whose behaviour arrives with the overlay windows' work.
// Each keeps the window's contract and does nothing yet.
#include "eOXLE.h"

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
