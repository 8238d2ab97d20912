#ifndef OXLE_WINDOWS_EOXLESTREAM_H
#define OXLE_WINDOWS_EOXLESTREAM_H

#include "eListBox.h"
#include "eWindow.h"

class eLabel;

// The stream window: the playing file and the next one, each with its file type.
// Keys go to the host's window handling.
class eOXLEStream : public eWindow
{
public:
	eOXLEStream();
	~eOXLEStream() override;

	static const int clientX = 60, clientY = 90;
	static const int clientWidth = 620, clientHeight = 430;

private:
	friend struct eOXLEStreamTestAccess;

	void init();

	// Both owned by the window's widget tree. The list box is too small to be seen and
	// nothing reads it.
	eListBox<eListBoxEntryText>* listbox = nullptr;
	eLabel* label = nullptr;
};

// The extension of name: the text after its last ".", the whole name when it has none.
eString fileExtension(const eString& name);

// The file type of name as the stream window describes it: " - DivX / XVID" and the
// like for known extensions (in any case), else the upper-cased extension followed by
// " - Not registered, yet.".
eString fileTypeDescription(const eString& name);

// The window's whole text for a playing file and the one after it.
eString streamInfoText(const eString& playing, const eString& next);

#endif
