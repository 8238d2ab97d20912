#include "eDesktopZapLCD.h"

#include <nlohmann/json.hpp>

#include "Journal.h"

namespace
{
const char* const clockElement = ".clock";
} // namespace

eZapLCD* eZapLCD::getInstance()
{
	return &eDesktopZapLCD::instance();
}

eDesktopZapLCD& eDesktopZapLCD::instance()
{
	static eDesktopZapLCD panel;
	return panel;
}

eDesktopZapLCD::eDesktopZapLCD()
{
	lcdMain = &mainPage;
	lcdMenu = &menuPage;
	lcdStandby = &standbyPage;
}

std::string eDesktopZapLCD::text() const
{
	std::lock_guard<std::mutex> guard(lock);
	return serviceName;
}

void eDesktopZapLCD::pageShown(const std::string& page, bool visible)
{
	Journal::instance().event("lcd_page", {{"page", page}, {"visible", visible}});
}

void eDesktopZapLCD::Page::setServiceName(const eString& newName)
{
	{
		std::lock_guard<std::mutex> guard(panel.lock);
		panel.serviceName = newName;
	}
	Journal::instance().event("lcd", {{"text", std::string(newName)}});
}

void eDesktopZapLCD::Page::show()
{
	panel.pageShown(name, true);
}

void eDesktopZapLCD::Page::hide()
{
	panel.pageShown(name, false);
}

void eDesktopZapLCD::Page::hideClock()
{
	panel.pageShown(std::string(name) + clockElement, false);
}

void eDesktopZapLCD::Page::showClock()
{
	panel.pageShown(std::string(name) + clockElement, true);
}
