#include "eDesktopZap.h"

#include <nlohmann/json.hpp>

#include "Journal.h"
#include "Screen.h"
#include "eDebug.h"
#include "eMainloop.h"
#include "eWidget.h"

eZap* eZap::getInstance()
{
	static eDesktopZap zap;
	return &zap;
}

eWidget* eDesktopZap::getDesktop(int which)
{
	if (which != desktopLCD)
		return Screen::instance().desktop();
	// The desktop has no front-panel screen of widgets: what is parented here is never
	// shown, so that it cannot land on the TV picture.
	if (!lcdDesktop)
		lcdDesktop = new eWidget(Screen::instance().desktop());
	lcdDesktop->hide();
	return lcdDesktop;
}

void eDesktopZap::quit(int code)
{
	Journal::instance().event("quit", {{"code", code}});
	if (eApp)
		eApp->quit(code);
	else
		eWarning("quit(%d) without a main loop", code);
}
