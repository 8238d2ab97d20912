#ifndef OXLE_WINDOWS_EOXLE_FILEINFO_H
#define OXLE_WINDOWS_EOXLE_FILEINFO_H

#include <vector>

#include "PLAYLIST.h"
#include "eListBox.h"
#include "eWindow.h"

class eLabel;

// What the PC-side server says about one list entry, as plain wrapped text. Keys go to
// the host's window handling, which closes it.
class eOXLE_FileInfo : public eWindow
{
public:
	explicit eOXLE_FileInfo(eString text);
	~eOXLE_FileInfo() override;

	static const int clientX = 110, clientY = 90;
	static const int clientWidth = 520, clientHeight = 430;

private:
	friend struct eOXLE_FileInfoTestAccess;

	void init(eString text);

	// Both owned by the window's widget tree. The list box is an unseen leftover that
	// nothing reads.
	eListBox<eListBoxEntryText>* listbox = nullptr;
	eLabel* label = nullptr;
};

// The server's reply to "RQS" "NFO" for path, unparsed ("+nok" or empty without a
// server).
eString fileInfoText(const eString& path);

// The main window's file information: for entry index of playlist (never the first row,
// which is the parent entry of a directory listing, and nothing for an index outside
// the listing) it hides mainWindow, shows the server's text in an eOXLE_FileInfo until
// that closes, and shows mainWindow again.
void showFileInfosFor(eWidget& mainWindow, const std::vector<PLAYLIST>& playlist, int index);

// Seconds the playing stream has left by the server's play status; 0 when the server
// does not answer with a status.
int readInfosRemaining();

#endif
