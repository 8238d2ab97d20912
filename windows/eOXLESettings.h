#ifndef OXLE_WINDOWS_EOXLESETTINGS_H
#define OXLE_WINDOWS_EOXLESETTINGS_H

#include <cstdint>

#include "eWindow.h"

class eButton;
class eCheckbox;
class eLabel;
class eNumber;
class eSlider;
class eTextInputField;

// The settings window: stream buffer size, continuous play, media folder, the periodic
// information line, the server's address, port and password, and two actions on the PC
// (server scan, shutdown). It has no OK or cancel: leaving it by any means saves, because
// the destructor saves. Only the buffer size is also stored at once on every change.
class eOXLESettings : public eWindow
{
public:
	eOXLESettings();
	~eOXLESettings() override;

	void bufferSizeChanged(int value);
	void showNumber();
	void shutdownPC();
	// Looks for the PC-side server in the box's own /24 network and puts the first
	// address that answers into the address field (stored when the window closes).
	void serverScan();

private:
	friend struct eOXLESettingsTestAccess;

	void init();
	void setBufferLabel(int steps);
	// The box's own IPv4 address (host order); false when it cannot be found.
	bool ownAddress(uint32_t& address);

	// All owned by the window's widget tree.
	eLabel* bufferLabel = nullptr;
	eSlider* bufferSlider = nullptr;
	eButton* scanButton = nullptr;
	eButton* shutdownButton = nullptr;
	eCheckbox* continuousPlay = nullptr;
	eCheckbox* intervalInfos = nullptr;
	eCheckbox* mediaDir = nullptr;
	eLabel* addressLabel = nullptr;
	eLabel* portLabel = nullptr;
	eLabel* passwordLabel = nullptr;
	eTextInputField* addressField = nullptr;
	eTextInputField* portField = nullptr;
	eTextInputField* passwordField = nullptr;
};

// The interval number and its ":" label, made anew by each settings window as its
// children; null while no settings window is open. GUI thread only.
extern eNumber* infoDelay;
extern eLabel* l_delay;

#endif
