#ifndef OXLE_HOST_EZAPLCD_H
#define OXLE_HOST_EZAPLCD_H

#include "eString.h"

// The front panel's main page: a service name and a clock.
class eZapLCDMain
{
public:
	virtual ~eZapLCDMain() = default;
	virtual void setServiceName(const eString& name) = 0;
	virtual void show() = 0;
	virtual void hide() = 0;
	// Element of the main page that shows the clock.
	virtual void hideClock() = 0;
	virtual void showClock() = 0;
};

// A front-panel page that can only be shown or hidden (menus, standby).
class eZapLCDPage
{
public:
	virtual ~eZapLCDPage() = default;
	virtual void show() = 0;
	virtual void hide() = 0;
};

class eZapLCD
{
public:
	static eZapLCD* getInstance();
	virtual ~eZapLCD() = default;
	eZapLCDMain* lcdMain = nullptr;
	eZapLCDPage* lcdMenu = nullptr;
	eZapLCDPage* lcdStandby = nullptr;
};

#endif
