#include "eOXLE.h"

#include <climits>
#include <cstdlib>

#include "ProgressDisplay.h"
#include "eAVSwitch.h"
#include "eAction.h"
#include "eConfig.h"
#include "eDebug.h"
#include "eListBoxEntryOXLE.h"
#include "eMainloop.h"
#include "eMessageBox.h"
#include "eProgress.h"
#include "eSkin.h"
#include "eStatusBar.h"
#include "eTCP.h"
#include "eZap.h"
#include "eZapLCD.h"
#include "gPainter.h"
#include "i18n.h"
#include "oxleConfig.h"
#include "oxleGlobals.h"

gPixmap* eOXLE::icon = nullptr;

namespace
{
const int defaultFontSize = 20;
// Blit flag of the volume pictures: transparent pixels show the video below.
const int alphaTestBlit = 1;
const int pauseBoxFlags = eMessageBox::iconInfo;
const int defaultButton = eMessageBox::btOK;
const int listTopGap = 20;
const int listHeight = 280;
const int sideMargin = 10;
const int labelPadding = 10;
const int statusBarHeight = 110;
const int statusBarBottomGap = 115;
const int buttonWidth = 138;
const int pluginStartVolume = 31;
const int defaultInfoDelayMs = 300000;
const int msPerMinute = 60000;
const long firstGuardDelayMs = 1000;

struct ColourButton
{
	eLabel** label;
	int x;
	const char* colour;
	const char* text;
};

const ColourButton colourButtons[] = {
	{&l_root, 10, "std_dred", "File"},
	{&l_svcd, 157, "std_dgreen", "DVD"},
	{&l_vcd, 304, "std_dyellow", "(S)VCD"},
	{&l_dvd, 452, "std_dblue", "More.."},
};

void readInt(const char* key, int& value)
{
	eConfig::getInstance()->getKey(key, value);
}

// Puts a skin picture into a label: sized to the picture, placed, hidden until the
// volume changes during playback.
void setUpPictureLabel(eLabel& label, gPixmap* picture, ePoint position)
{
	gPainter screen(*gFBDC::getInstance());
	screen.mergePalette(*picture);
	label.setProperty("alphatest", "on");
	label.resize(picture->getSize());
	label.setPixmap(picture);
	label.move(position);
	label.setBlitFlags(alphaTestBlit);
	label.hide();
}
} // namespace

eOXLE::eOXLE()
	: eWindow(0), volumeLabel(eZap::getInstance()->getDesktop(eZap::desktopFB)),
	  volumeBarLabel(eZap::getInstance()->getDesktop(eZap::desktopFB))
{
	volumeProgress = new eProgress(&volumeLabel);
	infoIsVisible = false;

	cmove(ePoint(browserX, browserY));
	cresize(eSize(clientWidth, clientHeight));
	fd = eSkin::getActive()->queryValue("fontsize", defaultFontSize);

	buildVolumeBar();

	addActionMap(&i_shortcutActions->map);
	addActionMap(&i_cursorActions->map);
	pauseBox = new eMessageBox(
		_("Stream paused. Press yellow or green to release."), _("Information"), pauseBoxFlags, defaultButton, 0);

	// The probe only connects; a server that listens but whose player is not ready
	// counts as absent.
	bool connected = false;
	if (eTCP::getInstance()->sendGetRequest("X", "X", "X", "x", "x", true) == "+ok")
		connected = request("VLC", "STA", "NO").find("+ok") != eString::npos;
	init(connected);
}

void eOXLE::buildVolumeBar()
{
	eSkin* skin = eSkin::getActive();
	volumePixmap = skin->queryImage("volume_grafik");
	const int x = skin->queryValue("volume.grafik.pos.x", 0);
	const int y = skin->queryValue("volume.grafik.pos.y", 0);
	if (volumePixmap)
		setUpPictureLabel(volumeLabel, volumePixmap, ePoint(x, y));
	else
		isGemini = false;

	if (isGemini)
	{
		volumeBarPixmap = skin->queryImage("g_volume_progress");
		const ePoint barPosition(
			x + skin->queryValue("g_volume.progress.pos.x", 0), y + skin->queryValue("g_volume.progress.pos.y", 0));
		gx = skin->queryValue("g_volume.progress.width", 0);
		gy = skin->queryValue("g_volume.progress.height", 0);
		if (volumeBarPixmap)
			setUpPictureLabel(volumeBarLabel, volumeBarPixmap, barPosition);
		else
			isGemini = false;
	}

	if (!isGemini)
	{
		const ePoint slider(skin->queryValue("volume.slider.pos.x", 0), skin->queryValue("volume.slider.pos.y", 0));
		gx = skin->queryValue("volume.slider.width", 0);
		gy = skin->queryValue("volume.slider.height", 0);
		volumeProgress->resize(eSize(gx, gy));
		if (volumePixmap)
			volumeProgress->move(slider);
		else
		{
			// Without its picture the label has no size of its own, and a child is drawn
			// only inside its parent: the label becomes the bar's frame, so that the bar
			// stands where the skin puts it and is seen.
			volumeLabel.move(slider);
			volumeLabel.resize(eSize(gx, gy));
			volumeProgress->move(ePoint(0, 0));
		}
	}
	volumeProgress->setLeftColor(skin->queryColor("volume_left"));
	volumeProgress->setRightColor(skin->queryColor("volume_right"));
}

void eOXLE::init(bool connected)
{
	currentIndex = 0;
	JumpInMinutes = jump = jump_old = 1;
	jump_changed = false;
	sMode = false;

	const eSize client = getClientSize();
	listbox = new eListBox<eListBoxEntryOXLE>(this, eListBoxEntryText::getEntryHeight(), 1, "eListBox");
	listbox->move(ePoint(sideMargin, fd + listTopGap));
	listbox->resize(eSize(client.width() - 2 * sideMargin, listHeight));
	listbox->selected.connect(SigC::slot(*this, &eOXLE::listSelected));
	listbox->selchanged.connect(SigC::slot(*this, &eOXLE::listSelChanged));

	info = new eLabel(nullptr);
	info->move(ePoint(50, 50));
	info->resize(eSize(200, fd + labelPadding));
	info->setText("");
	info->hide();

	buildButtons();

	statusBar = new eStatusBar(this);
	statusBar->move(ePoint(sideMargin, client.height() - statusBarBottomGap));
	statusBar->resize(eSize(client.width() - 2 * sideMargin, statusBarHeight));
	statusBar->loadDeco();

	if (eZapLCD* lcd = eZapLCD::getInstance())
	{
		if (lcd->lcdMenu)
			lcd->lcdMenu->hide();
		if (lcd->lcdMain)
		{
			lcd->lcdMain->setServiceName("OXLE");
			lcd->lcdMain->show();
			lcd->lcdMain->hideClock();
		}
	}

	statusTimer = new eTimer(eApp);
	volumeHideTimer = new eTimer(eApp);
	waitTimer = new eTimer(eApp);
	infoTimer = new eTimer(eApp);
	infoCloseTimer = new eTimer(eApp);
	timerListTimer = new eTimer(eApp);
	closeTimer = new eTimer(eApp);
	statusTimer->timeout.connect(SigC::slot(*this, &eOXLE::timerHandler));
	volumeHideTimer->timeout.connect(SigC::slot(*this, &eOXLE::hideVolumeBar));
	waitTimer->timeout.connect(SigC::slot(*this, &eOXLE::wTimer));
	infoTimer->timeout.connect(SigC::slot(*this, &eOXLE::showInfo));
	infoCloseTimer->timeout.connect(SigC::slot(*this, &eOXLE::closeInfo));
	timerListTimer->timeout.connect(SigC::slot(*this, &eOXLE::parseTimerList));
	closeTimer->timeout.connect(SigC::slot(*this, &eOXLE::closeApp));
	eAVSwitch::getInstance()->volumeChanged.connect(SigC::slot(*this, &eOXLE::updateVolume));

	if (connected)
		requestServerParameters();

	readSettings();

	timerListTimer->start(firstGuardDelayMs, true);
	CONNECTION = connected;
	int lastmode = MODE_FILES;
	readInt(OXLE_KEY("lastmode"), lastmode);
	loadList(lastmode, lastDir);
}

void eOXLE::buildButtons()
{
	for (const ColourButton& button : colourButtons)
	{
		eLabel* label = new eLabel(this);
		label->move(ePoint(button.x, 0));
		label->resize(eSize(buttonWidth, fd + labelPadding));
		label->setProperty("align", "center");
		label->setProperty("vcenter", "");
		label->setProperty("backgroundColor", button.colour);
		label->setText(button.text);
		*button.label = label;
	}
}

void eOXLE::requestServerParameters()
{
	// The server learns from these that a box is there; only the stream port is used
	// again, and the engine asks for it afresh at every start.
	send_parms[0] = request("RQS", "SIP", "NO");
	send_parms[1] = request("RQS", "SEP", "NO");
	send_parms[2] = request("RQS", "SPO", "NO");
	startdir = request("RQS", "STD", "NO");
	cddrive = request("RQS", "CDD", "NO");
}

void eOXLE::readSettings()
{
	oxle_volume = pluginStartVolume;
	readInt(OXLE_KEY("autoplay"), AUTOPLAY);
	readInt(OXLE_KEY("autoinfo"), AUTOINFO);
	int infodelay = 0;
	readInt(OXLE_KEY("infodelay"), infodelay);
	// A hand-edited store can hold any number; the delay must stay a valid int.
	const int longestDelayMinutes = INT_MAX / msPerMinute;
	if (infodelay > longestDelayMinutes)
		infodelay = longestDelayMinutes;
	if (infodelay >= 1)
		INFODELAY = infodelay * msPerMinute;
	else
	{
		AUTOINFO = 0;
		INFODELAY = defaultInfoDelayMs;
	}
	char* skin = nullptr;
	if (!eConfig::getInstance()->getKey("/ezap/ui/skin", skin) && skin)
		active_skin = skin;
	std::free(skin);
	f_support = true;
	lastDir = startdir;
	if (readLogoConf() == 0)
		hasPicon = true;
}

eOXLE::~eOXLE()
{
	// No streaming thread may outlive the window: the host unloads the plugin's code
	// once plugin_exec returns, and the TV service replayed below needs the decoder.
	endRunningStream(true);
	// A stream that ended by itself after the main loop stopped left its display here.
	releaseHandedOverParts();
	if (CONNECTION)
	{
		eConfig::getInstance()->setKey(OXLE_KEY("lastPath"), l_path.c_str());
		eConfig::getInstance()->flush();
		// Nothing here needs the server's answer, and a server that never gives it must
		// not hold the box.
		eTCP::getInstance()->sendWithoutReply("VLC", "STP", "NOUP", "", "");
		playlist.clear();
		volumeLabel.hide();
		volumeBarLabel.hide();
	}

	for (eTimer** timer :
		{&statusTimer, &volumeHideTimer, &waitTimer, &infoTimer, &infoCloseTimer, &timerListTimer, &closeTimer})
	{
		if (*timer && (*timer)->isActive())
			(*timer)->stop();
		delete *timer;
		*timer = nullptr;
	}
	delete pauseBox;
	pauseBox = nullptr;

	// While a recording runs the service was never stopped and belongs to it.
	if (savedService.valid() && TIMEREVENT != TIMEREVENT_RUNNING)
		eServiceInterface::getInstance()->play(savedService);

	// The rows borrow their icons from iconCache, which goes with the members below;
	// the rows go first. The information label has no parent to free it.
	delete listbox;
	listbox = nullptr;
	icon = nullptr;
	delete info;
	info = nullptr;
}

void eOXLE::setStatus(int index)
{
	if (playlist.empty() || index < 0 || size_t(index) >= playlist.size())
		return;
	const PLAYLIST& entry = playlist[size_t(index)];
	eString rowText;
	switch (entry.type)
	{
	case TYPE_PARENT:
		rowText = _("Go up one directory level");
		break;
	case TYPE_DIRECTORY:
		rowText = _("Enter directory");
		break;
	case TYPE_FILE:
		// Name and date come from the server and may hold '%': never a format.
		rowText = eString::sprintf("Startoffset: %02dmin.", entry.startOffset) +
			eString::sprintf("\nAudioChannel: %d", audioChannel) + "\nFile: " + entry.name +
			eString::sprintf("\nSize: %d MB, Date: ", entry.sizeMB) + entry.date;
		break;
	case TYPE_MESSAGE:
		rowText = eString("NO SERVER CONNECTION, please check your Settings and ensure that VLC is startet on the PC\n"
						  "Check also your startpath settings! ") +
			startdir;
		break;
	default:
		return;
	}
	listbox->setHelpText(rowText);
}

eString eOXLE::request(
	const char* group, const char* command, const eString& argument, const eString& extra1, const eString& extra2)
{
	return eTCP::getInstance()->sendGetRequest(group, command, argument, extra1, extra2, false);
}

void eOXLE::showNotice(const eString& text, const char* caption, int timeoutSeconds, int flags)
{
	eMessageBox box(text, _(caption), flags, defaultButton, timeoutSeconds);
	box.show();
	box.exec();
	box.hide();
}

void eOXLE::setPanelName(const eString& name)
{
	eZapLCD* lcd = eZapLCD::getInstance();
	if (lcd && lcd->lcdMain)
		lcd->lcdMain->setServiceName(name);
}

void eOXLE::leave()
{
	handBackVolume();
	infoTimer->stop();
	close(0);
}

void eOXLE::handBackVolume()
{
	// The volume was handed over by the timer-list guard's first run; before that run
	// the host volume is still the viewer's own and tv_volume holds nothing yet, so
	// there is nothing to give back and no plugin volume worth saving.
	if (startUp)
		return;
	eConfig::getInstance()->setKey(OXLE_KEY("volume"), oxle_volume);
	eAVSwitch::getInstance()->changeVolume(1, tv_volume);
}

void eOXLE::hideVolumeLabels()
{
	volumeLabel.hide();
	volumeBarLabel.hide();
	volumeIsVisible = false;
}

void eOXLE::toPlaybackView()
{
	hide();
	cmove(ePoint(playbackX, playbackY));
	show();
	browserVisible = false;
}
