#include "DesktopServices.h"

#include "boxPath.h"
#include "eConfigStore.h"
#include "eDVB.h"
#include "eDesktopServiceInterface.h"
#include "eDesktopZapLCD.h"

namespace DesktopServices
{
void init()
{
	eConfigStore::instance().load(boxPath(eConfigStore::storeFile));
}

void setTimeOffset(int seconds)
{
	eDVB::getInstance()->time_difference = seconds;
}

void setRunningService(const std::string& name)
{
	eDesktopServiceInterface::instance().setRunning(name);
}

std::string lcdText()
{
	return eDesktopZapLCD::instance().text();
}
} // namespace DesktopServices
