#ifndef OXLE_DESKTOP_EDESKTOPZAP_H
#define OXLE_DESKTOP_EDESKTOPZAP_H

#include "eZap.h"

// The desktop's host application: its desktop is the screen's, its main loop eApp.
class eDesktopZap : public eZap
{
public:
	eWidget* getDesktop(int which = desktopFB) override;
	// Writes the "quit" journal line and ends eApp with code.
	void quit(int code) override;

private:
	eWidget* lcdDesktop = nullptr;
};

#endif
