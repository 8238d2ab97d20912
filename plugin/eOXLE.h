#ifndef OXLE_PLUGIN_EOXLE_H
#define OXLE_PLUGIN_EOXLE_H

#include <map>
#include <memory>
#include <vector>

#include "PLAYLIST.h"
#include "eLabel.h"
#include "eListBox.h"
#include "eServiceInterface.h"
#include "eWindow.h"

class eListBoxEntryOXLE;
class eMessageBox;
class eProgress;
class eStatusBar;
class eTimer;
class gPixmap;

// The plugin's main window. Browser view: the listing, the colour-button labels and
// the status bar at (75, 75). Playback view: the same window moved below the picture,
// so that it keeps the remote-control keys while a stream plays.
//
// Everything here runs on the GUI thread.
class eOXLE : public eWindow
{
public:
	eOXLE();
	~eOXLE() override;

	void init(bool connected);
	void setStatus(int index);
	void playerStart(int index);
	void timerHandler();
	void wTimer();
	void parseTimerList();
	void doPause();
	void releasePause();
	void showMenu();
	void showInfo();
	void closeInfo();
	void updateVolume(int mute, int volume);
	void hideVolumeBar();
	void closeApp();
	// path is taken by value on purpose: callers pass a field of the listing that
	// this call clears.
	void loadList(int mode, eString path);
	// Percent-encodes every byte but ASCII letters, digits and ":" (the counterpart of
	// the engine's unquote).
	static eString quote(const eString& s);
	void viewList(int sel);
	void listSelected(eListBoxEntryOXLE* entry);
	void listSelChanged(eListBoxEntryOXLE* entry);
	void showNoServerList();
	eString getPicture(int kind);
	int readInfos();
	void showFileInfos();
	int readLogoConf();

	// The icon most recently loaded while the rows are built.
	static gPixmap* icon;

	// Client positions and size of the two views.
	static const int browserX = 75, browserY = 75;
	static const int playbackX = 90, playbackY = 800;
	static const int clientWidth = 600, clientHeight = 440;

protected:
	int eventHandler(const eWidgetEvent& event) override;

private:
	friend struct eOXLETestAccess;

	void buildVolumeBar();
	void buildButtons();
	void requestServerParameters();
	void readSettings();
	// The icon of a row; see iconCache.
	gPixmap* loadIcon(const eString& file);
	void leave();

	eServiceReference savedService;
	std::vector<PLAYLIST> playlist;
	int listMode = MODE_FILES;
	bool browserVisible = true;
	int currentIndex = 0;
	eLabel volumeLabel;
	eLabel volumeBarLabel;
	eProgress* volumeProgress = nullptr;
	gPixmap* volumeBarPixmap = nullptr;
	gPixmap* volumePixmap = nullptr;
	eListBox<eListBoxEntryOXLE>* listbox = nullptr;
	eTimer* statusTimer = nullptr;
	eTimer* volumeHideTimer = nullptr;
	eTimer* waitTimer = nullptr;
	eTimer* infoTimer = nullptr;
	eTimer* infoCloseTimer = nullptr;
	eTimer* timerListTimer = nullptr;
	eTimer* closeTimer = nullptr;
	eMessageBox* pauseBox = nullptr;
	eStatusBar* statusBar = nullptr;

	// Row icons, one pixmap per file for the window's whole life: a rebuild of a large
	// listing then neither reads every PNG again nor leaves the old ones behind. Rows
	// borrow from here, so the list box is deleted before this map (destructor).
	std::map<eString, std::unique_ptr<gPixmap>> iconCache;
};

#endif
