#ifndef OXLE_DESKTOP_EDESKTOPZAPLCD_H
#define OXLE_DESKTOP_EDESKTOPZAPLCD_H

#include <mutex>
#include <string>

#include "eZapLCD.h"

// The desktop's front panel: no display, only the last text and which pages are
// shown, journalled as "lcd" {text} and "lcd_page" {page, visible}.
class eDesktopZapLCD : public eZapLCD
{
public:
	static eDesktopZapLCD& instance();

	std::string text() const;

	// One page of the panel; the main page also carries the service name and the clock.
	class Page : public eZapLCDMain, public eZapLCDPage
	{
	public:
		Page(eDesktopZapLCD& owner, const char* pageName) : panel(owner), name(pageName) {}
		void setServiceName(const eString& serviceName) override;
		void show() override;
		void hide() override;
		void hideClock() override;
		void showClock() override;

	private:
		eDesktopZapLCD& panel;
		const char* name;
	};

private:
	eDesktopZapLCD();
	void pageShown(const std::string& page, bool visible);

	Page mainPage{*this, "main"};
	Page menuPage{*this, "menu"};
	Page standbyPage{*this, "standby"};

	mutable std::mutex lock; // guards serviceName
	std::string serviceName;
};

#endif
