#ifndef OXLE_WINDOWS_EOXLEINFO_H
#define OXLE_WINDOWS_EOXLEINFO_H

#include <memory>

#include "InfobarMath.h"
#include "eLabel.h"
#include "eWidget.h"

class eMainloop;
class eProgress;
class eTimer;
class gPixmap;

// The infobar shown while a stream plays. It has no layout of its own: it builds the
// host skin's channel infobar ("ezap_main") into itself and fills the fields the host
// fills with programme data with facts about the playing file, asked once from the
// server. It closes on OK or Exit, or by itself on the 75th tick of its title timer.
// The main window constructs it on its stack, shows it, runs exec, hides it.
//
// Everything here runs on the GUI thread.
class eOXLEInfo : public eWidget
{
public:
	eOXLEInfo();
	~eOXLEInfo() override;

	void updateTime();
	void actualize_EinNow();
	void showLogo();

	// Nothing is drawn where no skin element stands: the picture shows through.
	void eraseBackground(gPainter* painter, const eRect& area) override;
	const char* className() const override { return "eOXLEInfo"; }

	static const int clockIntervalMs = 1000;
	static const int titleIntervalMs = 225;

protected:
	int eventHandler(const eWidgetEvent& event) override;

private:
	friend struct eOXLEInfoTestAccess;

	void init();
	void makeOwnWidgets();
	void applyOffsets();
	void lookUpElements();
	void fillFields(const PlayStatus& status);
	void hideChannelElements();
	void setLegend();
	void placePositionBar(int position);
	void closeByKey();
	// The skin's element of that name, or (after a warning) an unplaced fallback.
	template <class T> T* lookUp(const char* name);

	bool separatorShown = false;
	int logoRedraws = 0;
	// On the screen-level widget, not on the infobar, so that it can stand anywhere.
	eLabel logo;
	std::unique_ptr<gPixmap> logoPicture;
	std::unique_ptr<eTimer> clockTimer;

	// Skin elements, owned by the infobar's widget tree.
	eLabel *chNumber = nullptr, *chName = nullptr, *camInfo = nullptr, *fulltimeLabel = nullptr, *timeLabel = nullptr;
	eLabel *description = nullptr, *nowTitle = nullptr, *nextTitle = nullptr, *nowDuration = nullptr,
		   *nextDuration = nullptr;
	eLabel *redText = nullptr, *greenText = nullptr, *yellowText = nullptr, *blueText = nullptr;
	eLabel *date = nullptr, *fcText = nullptr, *proName = nullptr, *videoformat = nullptr, *picon = nullptr;
	eLabel *nowTimeLabel = nullptr, *nextTimeLabel = nullptr;
	static const int caMarkerCount = 24;
	eLabel* caMarkers[caMarkerCount] = {};
	static const int meterCount = 3;
	eLabel* meterNumbers[meterCount] = {};
	eLabel* meterTexts[meterCount] = {};
	eProgress* meters[meterCount] = {};
	static const int buttonCount = 8;
	eLabel* buttons[buttonCount] = {};
	static const int symbolCount = 6;
	eLabel* symbols[symbolCount] = {};
	// The seven made before the skin is built, so that it places them by name.
	eLabel *dvrInfoBar = nullptr, *fileinfos = nullptr, *recStatus = nullptr, *progressEvent = nullptr;
	eWidget *dvbInfoBar = nullptr, *fileInfoBar = nullptr;
	eProgress* progressBar = nullptr;

	// Null once the infobar has closed.
	std::unique_ptr<eTimer> titleTimer;
	TitleScroll scroll;
	int closeCount = 0;
};

#endif
