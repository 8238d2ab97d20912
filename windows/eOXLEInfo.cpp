#include "eOXLEInfo.h"

#include <unistd.h>

#include "boxPath.h"
#include "eAVSwitch.h"
#include "eAction.h"
#include "eConfig.h"
#include "eDVB.h"
#include "eDebug.h"
#include "eMainloop.h"
#include "eProgress.h"
#include "eSkin.h"
#include "eTCP.h"
#include "eZap.h"
#include "eZapLCD.h"
#include "gPainter.h"
#include "oxleConfig.h"
#include "oxleGlobals.h"

namespace
{
const char infoVersionText[] = "2.0.0";
const char skinElement[] = "ezap_main";
const char noTime[] = "+0 min";
// Blit flag of the logo: its transparent pixels show the bar below.
const int alphaTestBlit = 1;
// The logo stands this much above the table's position.
const int logoRaise = 2;
// The logo is drawn again over the freshly drawn bar on this many first ticks.
const int logoRedrawTicks = 3;
// Volume is attenuation: a positive step is quieter.
const int quieterStep = 1;
const int louderStep = -1;
const int relativeVolume = 0;

const char* const meterNames[] = {"g_snr_progress", "g_agc_progress", "g_ber_progress"};
const char* const meterNumberNames[] = {"snr_num", "agc_num", "ber_num"};
const char* const meterTextNames[] = {"snr_text", "agc_text", "ber_text"};
const char* const meterCaptions[] = {"SNR:", "AGC:", "BER:"};
const char* const buttonNames[] = {"button_red_enabled", "button_green_enabled", "button_yellow_enabled",
	"button_blue_enabled", "button_red_disabled", "button_green_disabled", "button_yellow_disabled",
	"button_blue_disabled"};
const char* const symbolNames[] = {
	"osd_dolby_on", "osd_crypt_on", "osd_format_on", "osd_dolby_off", "osd_crypt_off", "osd_format_off"};
const char* const caMarkerNames[] = {"beta_emm", "beta_ecm", "beta_no", "irdeto_emm", "irdeto_ecm", "irdeto_no",
	"seca_emm", "seca_ecm", "seca_no", "via_emm", "via_ecm", "via_no", "nagra_emm", "nagra_ecm", "nagra_no", "cw_emm",
	"cw_ecm", "cw_no", "nds_emm", "nds_ecm", "nds_no", "conax_emm", "conax_ecm", "conax_no"};

eZapLCDMain* frontPanel()
{
	eZapLCD* lcd = eZapLCD::getInstance();
	return lcd ? lcd->lcdMain : nullptr;
}

void showOnFrontPanel(const eString& text)
{
	if (eZapLCDMain* panel = frontPanel())
		panel->setServiceName(text);
}

// The host's offset of its channel infobar: the first key of the pair that holds a
// non-zero value.
int offset(const char* key, const char* fallbackKey)
{
	int value = 0;
	eConfig::getInstance()->getKey(key, value);
	if (value == 0)
		eConfig::getInstance()->getKey(fallbackKey, value);
	return value;
}

int clockCorrection()
{
	eDVB* dvb = eDVB::getInstance();
	return dvb ? dvb->time_difference : 0;
}

template <class T, size_t N> void hideAll(T* (&widgets)[N])
{
	for (T* w : widgets)
		w->hide();
}
} // namespace

eOXLEInfo::eOXLEInfo() : eWidget(nullptr, 1), logo(eZap::getInstance()->getDesktop(eZap::desktopFB))
{
	// A child shows with its parent; the logo waits for a picture.
	logo.hide();
	init();
}

eOXLEInfo::~eOXLEInfo()
{
	// The scroll may have left only a part of the name on the front panel.
	showOnFrontPanel(loadFile);
	logo.hide();
	logo.setPixmap(nullptr);
	titleTimer.reset();
	clockTimer.reset();
	// Also when it never really opened (a skin without the bar closes it at once).
	infoIsVisible = false;
}

void eOXLEInfo::eraseBackground(gPainter*, const eRect&)
{
}

template <class T> T* eOXLEInfo::lookUp(const char* widgetName)
{
	eWidget* found = search(widgetName);
	if (T* element = dynamic_cast<T*>(found))
		return element;
	if (found)
		eWarning("skin element %s is a %s, not what the infobar needs", widgetName, found->className());
	else
		eWarning("skin has undefined element: %s", widgetName);
	return new T(this);
}

void eOXLEInfo::init()
{
	logoRedraws = 0;
	clockTimer.reset(new eTimer(eApp));
	clockTimer->timeout.connect(SigC::slot(*this, &eOXLEInfo::updateTime));
	closeCount = 0;

	makeOwnWidgets();
	if (eSkin::getActive()->build(this, skinElement) != 0)
		close(0);
	applyOffsets();

	PlayStatus status;
	readPlayStatus(eTCP::getInstance()->sendGetRequest("VLC", "GTI", "NO", "", "", false), status);
	const ClockTime end = expectedEnd(status.length, seek, startHour, startMin);
	nextTime = hourMinute(end.hour, end.minute);

	if (eZapLCD* lcd = eZapLCD::getInstance())
		if (lcd->lcdMenu)
			lcd->lcdMenu->hide();
	if (eZapLCDMain* panel = frontPanel())
	{
		panel->setServiceName(loadFile);
		panel->show();
	}

	addActionMap(&i_cursorActions->map);
	addActionMap(&i_shortcutActions->map);

	lookUpElements();
	fillFields(status);
	hideChannelElements();

	fulltimeLabel = lookUp<eLabel>("fulltime");
	timeLabel = lookUp<eLabel>("time");
	dvrInfoBar->hide();
	dvbInfoBar->show();
	// Raised bars are drawn first, behind the texts the skin puts over them.
	dvbInfoBar->zOrderRaise();
	dvrInfoBar->zOrderRaise();
	fileInfoBar->zOrderRaise();

	setLegend();

	const std::tm now = boxLocalTime(clockCorrection());
	if (f_support)
		fulltimeLabel->setText(eString::sprintf("%02d:%02d:%02d", now.tm_hour, now.tm_min, now.tm_sec));
	else
		timeLabel->setText(hourMinute(now.tm_hour, now.tm_min));

	separatorShown = false;
	scroll.start(loadFile);
	infoIsVisible = true;

	titleTimer.reset(new eTimer(eApp));
	titleTimer->timeout.connect(SigC::slot(*this, &eOXLEInfo::actualize_EinNow));
	clockTimer->start(clockIntervalMs, false);
	titleTimer->start(titleIntervalMs, false);

	if (hasPicon)
		showLogo();
	placePositionBar(status.position);
}

void eOXLEInfo::makeOwnWidgets()
{
	dvrInfoBar = new eLabel(this);
	dvrInfoBar->setName("dvrInfoBar");
	dvbInfoBar = new eWidget(this);
	dvbInfoBar->setName("dvbInfoBar");
	fileInfoBar = new eWidget(this);
	fileInfoBar->setName("fileInfoBar");
	fileinfos = new eLabel(fileInfoBar);
	fileinfos->setName("fileinfos");
	recStatus = new eLabel(this);
	recStatus->setName("recStatus");
	progressEvent = new eLabel(this);
	progressEvent->setName("progress_event");
	progressBar = new eProgress(this);
	progressBar->setName("progress_bar");
	for (eWidget* w :
		{static_cast<eWidget*>(dvrInfoBar), dvbInfoBar, fileInfoBar, static_cast<eWidget*>(fileinfos),
			static_cast<eWidget*>(recStatus), static_cast<eWidget*>(progressEvent), static_cast<eWidget*>(progressBar)})
		w->hide();
}

void eOXLEInfo::applyOffsets()
{
	const int x = offset("/extras/ezap_offset_x", "/enigma/infobar_offset_x");
	const int y = offset("/extras/ezap_offset_y", "/enigma/infobar_offset_y");
	cmove(getPosition() + ePoint(x, y));
}

void eOXLEInfo::lookUpElements()
{
	for (int i = 0; i < meterCount; ++i)
		meters[i] = lookUp<eProgress>(meterNames[i]);
	for (int i = 0; i < meterCount; ++i)
		meterNumbers[i] = lookUp<eLabel>(meterNumberNames[i]);
	picon = lookUp<eLabel>("Picon");
	for (int i = 0; i < meterCount; ++i)
	{
		meterTexts[i] = lookUp<eLabel>(meterTextNames[i]);
		meterTexts[i]->setText(meterCaptions[i]);
	}
	chNumber = lookUp<eLabel>("ch_number");
	camInfo = lookUp<eLabel>("cam_info");
	chName = lookUp<eLabel>("ch_name");
	nowTitle = lookUp<eLabel>("e_now_title");
	nextTitle = lookUp<eLabel>("e_next_title");
	date = lookUp<eLabel>("date");
	fcText = lookUp<eLabel>("fc_text");
	nowDuration = lookUp<eLabel>("e_now_duration");
	nextDuration = lookUp<eLabel>("e_next_duration");
	nowTimeLabel = lookUp<eLabel>("e_now_time");
	nextTimeLabel = lookUp<eLabel>("e_next_time");
	description = lookUp<eLabel>("description");
	for (int i = 0; i < buttonCount; ++i)
		buttons[i] = lookUp<eLabel>(buttonNames[i]);
	proName = lookUp<eLabel>("pro_name");
	videoformat = lookUp<eLabel>("videoformat");
	redText = lookUp<eLabel>("red_text");
	greenText = lookUp<eLabel>("green_text");
	yellowText = lookUp<eLabel>("yellow_text");
	blueText = lookUp<eLabel>("blue_text");
	for (int i = 0; i < symbolCount; ++i)
		symbols[i] = lookUp<eLabel>(symbolNames[i]);
	for (int i = 0; i < caMarkerCount; ++i)
		caMarkers[i] = lookUp<eLabel>(caMarkerNames[i]);
}

void eOXLEInfo::fillFields(const PlayStatus& status)
{
	startTime = hourMinute(startHour, startMin);
	fcText->hide();
	nowTitle->setText(loadFile);
	nextTitle->setText(nextFile);
	description->setText(infoVersionText);
	nowDuration->setText(remainingText(status.length, status.time));
	nextDuration->setText(noTime);
	videoformat->setText(status.resolution);
	nowTimeLabel->setText(startTime);
	nextTimeLabel->setText(nextTime);
	date->setText("VLC Mode");
	camInfo->hide();
	proName->setText("CODEC: " + status.codec);
	chNumber->setText(infoVersionText);
}

void eOXLEInfo::hideChannelElements()
{
	hideAll(symbols);
	hideAll(caMarkers);
	hideAll(buttons);
	hideAll(meters);
	hideAll(meterNumbers);
	hideAll(meterTexts);
	for (eLabel* key : {redText, greenText, yellowText, blueText})
		key->hide();
	recStatus->hide();
}

void eOXLEInfo::setLegend()
{
	if (sMode)
	{
		chName->setText("Skip Mode activated");
		redText->setText("Skip REW");
		greenText->setText("Skip FFW");
	}
	else
	{
		chName->setText("Seek Mode activated");
		redText->setText(eString::sprintf("REW %d min.", JumpInMinutes));
		greenText->setText(eString::sprintf("FFW %d min.", JumpInMinutes));
	}
	yellowText->setText("Vol Down");
	blueText->setText("Vol Up");
	for (eLabel* key : {redText, greenText, yellowText, blueText})
		key->show();
}

void eOXLEInfo::placePositionBar(int percent)
{
	// Images with picture-style bars announce themselves by this file alone.
	if (access(boxPath("/var/etc/Gemini.conf").c_str(), F_OK) == 0)
	{
		const eSize skinSize = progressEvent->getSize();
		progressEvent->resize(eSize(positionBarWidth(skinSize.width(), percent), skinSize.height()));
		progressEvent->show();
		progressBar->hide();
	}
	else
	{
		progressBar->setPerc(percent);
		progressBar->show();
		progressEvent->hide();
	}
}

void eOXLEInfo::updateTime()
{
	const eString clock = clockText(boxLocalTime(clockCorrection()), isGemini, separatorShown);
	fulltimeLabel->setText(clock);
	timeLabel->setText(clock);
	clockTimer->start(clockIntervalMs, false);
}

void eOXLEInfo::actualize_EinNow()
{
	if (hasPicon && logoRedraws < logoRedrawTicks)
	{
		++logoRedraws;
		logo.invalidate();
	}

	eString scrolled;
	if (scroll.step(loadFile, scrolled))
	{
		nowTitle->setText(scrolled);
		showOnFrontPanel(scrolled);
	}

	if (titleTimer && infoIsVisible && selfCloseTick(closeCount))
	{
		// The main loop keeps the emitting signal alive while its timer goes.
		titleTimer.reset();
		scroll.rest();
		closeCount = 0;
		infoIsVisible = false;
		close(0);
	}
}

void eOXLEInfo::closeByKey()
{
	if (titleTimer && infoIsVisible)
		titleTimer.reset();
	if (infoIsVisible)
	{
		closeCount = 0;
		scroll.reset(loadFile);
		infoIsVisible = false;
	}
	close(0);
}

int eOXLEInfo::eventHandler(const eWidgetEvent& event)
{
	if (event.type != eWidgetEvent::evtAction)
		return eWidget::eventHandler(event);
	if (event.action == &i_cursorActions->ok || event.action == &i_cursorActions->cancel)
		closeByKey();
	else if (event.action == &i_shortcutActions->yellow)
		eAVSwitch::getInstance()->changeVolume(relativeVolume, quieterStep);
	else if (event.action == &i_shortcutActions->blue)
		eAVSwitch::getInstance()->changeVolume(relativeVolume, louderStep);
	return 1;
}

void eOXLEInfo::showLogo()
{
	std::unique_ptr<gPixmap> picture(loadPNG(boxPath(OXLE_PICTURES "oxle.png").c_str()));
	if (!picture)
		picture.reset(loadPNG(boxPath("/var/tuxbox/config/enigma/pictures/picon/default.png").c_str()));
	if (!picture)
		return;

	gPixmapDC pictureDC(picture.get());
	gPainter painter(pictureDC);
	painter.mergePalette(gFBDC::getInstance()->getPixmap());

	logo.setPixmap(picture.get());
	logoPicture = std::move(picture);
	logo.move(ePoint(posx, posy - logoRaise));
	logo.resize(logoPicture->getSize());
	logo.setBlitFlags(alphaTestBlit);
	logo.show();
}
