#ifndef OXLE_HOST_EMESSAGEBOX_H
#define OXLE_HOST_EMESSAGEBOX_H

#include <vector>

#include "eWindow.h"

class eButton;
class eLabel;
class eTimer;

// A modal notice with an icon, up to four buttons and an optional time-out after
// which it closes itself (with the default button's value).
class eMessageBox : public eWindow
{
public:
	enum
	{
		btOK = 1,
		btCancel = 2,
		btYes = 4,
		btNo = 8,
		btMax = 16,
		iconInfo = 16,
		iconWarning = 32,
		iconQuestion = 64,
		iconError = 128
	};

	eMessageBox(eString message, eString caption = "", int flags = btOK, int def = btOK, int timeout = 0);
	~eMessageBox() override;

	void setMessage(const eString& message);
	int getFlags() const { return flags; }
	int getTimeout() const { return timeout; }
	const char* className() const override { return "eMessageBox"; }

protected:
	int eventHandler(const eWidgetEvent& event) override;
	void willShow() override;
	void willHide() override;

private:
	void timedOut();
	eLabel* textLabel;
	std::vector<eButton*> buttons; // left to right; children, so deleted with the box
	eTimer* timer = nullptr;
	int flags, def, timeout;
	bool announced = false;
};

#endif
