#ifndef OXLE_WINDOWS_EOXLEHELPER_H
#define OXLE_WINDOWS_EOXLEHELPER_H

#include <memory>

#include "eListBox.h"
#include "eWindow.h"
#include "gPixmap.h"

class eListBoxEntryOXLE;

// The help window: the plugin's version and what each remote-control key does, one
// row with the help icon each. Keys go to the host's window handling.
class eOXLEHelper : public eWindow
{
public:
	eOXLEHelper();
	~eOXLEHelper() override;

	static const int clientX = 60, clientY = 90;
	static const int clientWidth = 620, clientHeight = 430;

private:
	friend struct eOXLEHelperTestAccess;

	void init();

	// Owned by the window's widget tree; deleted before icon, which its rows borrow.
	eListBox<eListBoxEntryOXLE>* listbox = nullptr;
	std::unique_ptr<gPixmap> icon;
};

// The rows below the version line; the table ends at its first entry that orders at or
// below a single space.
extern const char* const helpTexts[];

#endif
