#ifndef OXLE_HOST_EZAP_H
#define OXLE_HOST_EZAP_H

class eWidget;

// The host application.
class eZap
{
public:
	enum
	{
		desktopFB = 0,
		desktopLCD = 1
	};
	static eZap* getInstance();
	virtual ~eZap() = default;
	// The screen-level widget that parents free-standing on-screen labels.
	virtual eWidget* getDesktop(int which = desktopFB) = 0;
	// Ends the host's main loop with an exit code.
	virtual void quit(int code) = 0;
};

#endif
