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

	// Waits of the playback cycle and the timer-list guard, in milliseconds.
	static const int firstStatusTickMs = 1800;
	static const int statusTickMs = 2000;
	static const int restartHoldMs = 5000;
	static const int infoShownMs = 6000;
	static const int infoRepeatMs = 300000;
	static const int volumeBarShownMs = 4000;
	static const int guardRecheckMs = 240000;
	static const int guardCloseDelayMs = 1000;
	// Status ticks in a row that each find the decoder fed and not one frame decoded,
	// after which a stream counts as unplayable: some four seconds of bytes for nothing.
	static const int silentDecoderTicks = 3;

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
	// Gives the host its own volume back and keeps the plugin's for next time, once
	// the timer-list guard has taken it over.
	void handBackVolume();
	void hideVolumeLabels();
	void toPlaybackView();

	// Keys (eOXLEKeys.cpp). Each returns true when it handled the action; false passes
	// it on to the window's own handling.
	bool handleAction(const eAction* action);
	void exitKey();
	void stopPlayback();
	bool redKey();
	bool greenKey();
	bool yellowKey();
	bool blueKey();
	bool audioTypeKey();
	bool numberKey(int number);
	bool changeStartOffset(int number);
	void announceStep();

	// The overlay windows (eOXLEWindows.cpp), each run until it closes.
	void openInfobar();
	void openHelp();
	void openStreamInfo();
	void openSettings();

	// Playback (eOXLEPlayback.cpp).
	void fileEnded();
	void timerListHandOver();
	// Ends a stream that still runs (its threads joined) before a new one starts or
	// the plugin goes (leaving: the server is told without waiting for its answer).
	// Threads of a stream that ended by itself are joined all the same.
	void endRunningStream(bool leaving = false);
	// The error box after a failed or unplayable stream, and back to the browser.
	void streamFailed();
	// True once the decoder has been given bytes for silentDecoderTicks ticks and has
	// made not one picture or sound of them.
	bool decoderMakesNothing(int status);

	// Helpers shared by the files of the window.
	static eString request(const char* group, const char* command, const eString& argument, const eString& extra1 = "",
		const eString& extra2 = "");
	// A notice run modally until it times out (seconds; 0 waits) or is confirmed.
	static void showNotice(const eString& text, const char* caption, int timeoutSeconds, int flags);
	static void setPanelName(const eString& name);
	static int engineStatus();
	// Asks the streaming threads to end the stream; false when none runs. Only a
	// running stream is marked: one that ended by itself has told the server already,
	// and a closing status with no thread to act on it would stay for good.
	static bool markStreamClosing();

	eServiceReference savedService;
	std::vector<PLAYLIST> playlist;
	int listMode = MODE_FILES;
	bool browserVisible = true;
	int currentIndex = 0;
	// Status ticks in a row that saw the decoder fed and nothing decoded.
	int silentTicks = 0;
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
