#ifndef OXLE_DESKTOP_DESKTOPSERVICES_H
#define OXLE_DESKTOP_DESKTOPSERVICES_H

#include <string>

// Set-up of the desktop's stand-ins for the box's services (configuration store, TV
// service, volume, front panel, timer manager, clock correction). Call once, on the
// GUI thread, after setBoxRoot() and before the plugin runs.
namespace DesktopServices
{
// Loads the configuration store from ROOT/var/tuxbox/config/enigma/config.
void init();
// Seconds the box clock runs ahead of the system clock (eDVB::time_difference).
void setTimeOffset(int seconds);
// The desktop's pretend running TV service, so that stop/play have something to act on.
void setRunningService(const std::string& name);
// Front panel text as last set (for tests).
std::string lcdText();
} // namespace DesktopServices

#endif
