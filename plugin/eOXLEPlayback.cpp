// The playback cycle of the main window: the start of an entry, the status poll that
// follows the engine, pause, the return to the browser, the information label, the
// volume bar and the guard's way out.
#include <ctime>

#include "BackgroundPicture.h"
#include "Decoder.h"
#include "eAVSwitch.h"
#include "eDVB.h"
#include "eDebug.h"
#include "eListBoxEntryOXLE.h"
#include "eMainloop.h"
#include "eMessageBox.h"
#include "eOXLE.h"
#include "eOXLEEngine.h"
#include "eProgress.h"
#include "eStatusBar.h"
#include "eTCP.h"
#include "eZap.h"
#include "i18n.h"
#include "oxleGlobals.h"

namespace
{
const int secondsPerMinute = 60;
const int errorFlags = eMessageBox::btOK | eMessageBox::iconError;
const char playbackPlaylistEnd[] = "Playlist End";
const char browserPanelName[] = "OXLE-MAIN";
const int silentVolume = 63;
const int fullPercent = 100;
// End-of-playlist actions: 0 shows the background picture; the others end the host's
// main loop with an exit code (restart the GUI, reboot, power off).
const int showPictureAction = 0;
const int endActionCodes[] = {-1, 2, 4, 0};
const int endActions = int(sizeof endActionCodes / sizeof endActionCodes[0]);

// The box's wall clock: the system time with the host's correction.
std::tm boxLocalTime()
{
	const std::time_t now = std::time(nullptr) + std::time_t(eDVB::getInstance()->time_difference);
	std::tm local{};
	localtime_r(&now, &local);
	return local;
}

bool isDiscMode(int mode)
{
	return mode == MODE_VCD || mode == MODE_SVCD || mode == MODE_DVD;
}

// Sets the engine status to wanted only if it still is expected: a streaming thread
// may have ended the stream since it was read, and its 0 must not be overwritten.
void replaceStatus(int expected, int wanted)
{
	eOXLEEngine::getInstance()->status.compare_exchange_strong(expected, wanted);
}
} // namespace

int eOXLE::engineStatus()
{
	return eOXLEEngine::getInstance()->status.load();
}

bool eOXLE::markStreamClosing()
{
	std::atomic<int>& status = eOXLEEngine::getInstance()->status;
	int was = status.load();
	while (was != eOXLEEngine::STATUS_STOPPED && !status.compare_exchange_weak(was, eOXLEEngine::STATUS_CLOSING))
	{
	}
	return was != eOXLEEngine::STATUS_STOPPED;
}

void eOXLE::endRunningStream(bool leaving)
{
	eOXLEEngine* engine = eOXLEEngine::getInstance();
	const int status = engine->status.load();
	if (status == eOXLEEngine::STATUS_STOPPED || status == eOXLEEngine::STATUS_ERROR)
	{
		engine->joinEndedStream();
		return;
	}
	engine->status = eOXLEEngine::STATUS_CLOSING;
	engine->control(leaving ? "terminate" : "stop", "", "", "", 0);
}

void eOXLE::playerStart(int index)
{
	started = true;
	if (waitStart)
		return;
	started = false;
	// The listing may have changed since the start was asked for (a deferred start, a
	// new directory): only a file that is there now is played.
	if (index < 0 || size_t(index) >= playlist.size() || playlist[size_t(index)].type != TYPE_FILE)
	{
		eDebug("[OXLE] no file at %d to play", index);
		return;
	}
	// A stream still playing behind the browser is ended first; its end would
	// otherwise reach the server after the new play request and stop that one.
	endRunningStream();
	silentTicks = 0;

	if (browserVisible)
		toPlaybackView();
	currVol = volu = eAVSwitch::getInstance()->getVolume();

	const PLAYLIST entry = playlist[size_t(index)];
	const eString seconds = eString::sprintf("%d", entry.startOffset * secondsPerMinute);
	const eString channel = eString::sprintf("%d", audioChannel);
	// Before the timer-list guard's first run the TV service is still the viewer's and
	// not yet saved; the start below stops it, so keep it here for the way back.
	if (startUp && !savedService.valid())
		if (eServiceInterface* services = eDVB::getInstance()->getServiceAPI())
			if (services->service.valid())
				savedService = services->service;
	request("VLC", "PLY", entry.path, seconds, channel);
	eOXLEEngine::getInstance()->control("start2", entry.path, seconds, channel, 1);
	statusTimer->start(firstStatusTickMs, true);

	const std::tm now = boxLocalTime();
	startMin = now.tm_min;
	startHour = now.tm_hour;
	setPanelName(loadFile);
	if (AUTOINFO)
		infoTimer->start(INFODELAY, true);
	viewList(index + 1);
}

void eOXLE::timerHandler()
{
	const int status = engineStatus();
	if (status == eOXLEEngine::STATUS_ERROR)
	{
		streamFailed();
		return;
	}
	if (decoderMakesNothing(status))
	{
		eDebug("[OXLE] %lld bytes fed and nothing decoded: not a stream the box can play",
			eOXLEEngine::getInstance()->bytesFed());
		endRunningStream();
		streamFailed();
		return;
	}
	if (status == eOXLEEngine::STATUS_STOPPED && !isDiscMode(listMode))
	{
		fileEnded();
		return;
	}
	if (status == eOXLEEngine::STATUS_PAUSED && paused)
	{
		replaceStatus(eOXLEEngine::STATUS_PAUSED, eOXLEEngine::STATUS_PLAYING);
		paused = false;
		pauseBox->hide();
	}
	if (status == eOXLEEngine::STATUS_STARTED)
		replaceStatus(eOXLEEngine::STATUS_STARTED, eOXLEEngine::STATUS_PLAYING);
	statusTimer->start(statusTickMs, true);
}

void eOXLE::streamFailed()
{
	request("VLC", "STA", "NO");
	showNotice("An Error occured while trying to send commands, or receiving the Stream. OXEL_x86 restarted VLC. "
			   "Try again.",
		"Error", 0, errorFlags);
	currentIndex = 0;
	infoTimer->stop();
	if (i_isVisible)
		closeInfo();
	showMenu();
}

bool eOXLE::decoderMakesNothing(int status)
{
	// The PID scan trusts any bytes that look like packet headers; only the decoder can
	// tell that nothing in them plays.
	const bool feeding = status == eOXLEEngine::STATUS_PLAYING || status == eOXLEEngine::STATUS_STARTED;
	if (!feeding || eOXLEEngine::getInstance()->bytesFed() == 0 || Decoder::decodedFrames() > 0)
		silentTicks = 0;
	else
		++silentTicks;
	return silentTicks >= silentDecoderTicks;
}

void eOXLE::fileEnded()
{
	// A file can run out while the viewer has it paused: that pause is over.
	paused = false;
	pauseBox->hide();
	const int next = currentIndex + 1;
	currentIndex = next;
	const int count = int(playlist.size());
	if (next >= 0 && next < count && AUTOPLAY != 0)
	{
		// Continuous play goes on with files only; a directory or a message after the
		// finished file ends it quietly.
		if (playlist[size_t(next)].type == TYPE_FILE && AUTOPLAY > 0)
		{
			infoTimer->stop();
			if (i_isVisible)
				closeInfo();
			loadFile = playlist[size_t(next)].name;
			nextFile = next + 1 < count ? playlist[size_t(next) + 1].name : eString(playbackPlaylistEnd);
			showBackgroundPicture();
			playerStart(currentIndex);
		}
		return;
	}

	currentIndex = 0;
	infoTimer->stop();
	if (i_isVisible)
		closeInfo();
	showMenu();
	if (shutDown > showPictureAction && shutDown < endActions)
		eZap::getInstance()->quit(endActionCodes[shutDown]);
	else
		showBackgroundPicture();
}

void eOXLE::wTimer()
{
	waitStart = false;
	if (started)
		playerStart(currentIndex);
}

void eOXLE::doPause()
{
	// A release asked for during an earlier pause is no longer pending.
	paused = false;
	pauseBox->show();
	eOXLEEngine::getInstance()->status = eOXLEEngine::STATUS_PAUSED;
	request("VLC", "PAU", "NO");
}

void eOXLE::releasePause()
{
	// The server toggles; the next status tick resumes the box's side.
	request("VLC", "PAU", "NO");
	paused = true;
}

void eOXLE::showMenu()
{
	if (browserVisible)
		return;
	statusTimer->stop();
	pauseBox->hide();
	hide();
	cmove(ePoint(browserX, browserY));
	statusBar->loadDeco();
	show();
	browserVisible = true;
	setPanelName(browserPanelName);
}

void eOXLE::showInfo()
{
	if (!info)
		return;
	const std::tm now = boxLocalTime();
	const int remaining = readInfos();
	info->setText(eString::sprintf("%02d:%02d -- %dmin.", now.tm_hour, now.tm_min, remaining / secondsPerMinute));
	info->show();
	i_isVisible = true;
	infoCloseTimer->start(infoShownMs, true);
	infoTimer->start(infoRepeatMs, true);
}

void eOXLE::closeInfo()
{
	if (info)
	{
		info->hide();
		info->setText("");
	}
	i_isVisible = false;
}

void eOXLE::updateVolume(int mute, int volume)
{
	if (mute)
		volume = silentVolume;
	// The host keeps to 0..63; anything else would make a bar of negative width.
	if (volume < 0)
		volume = 0;
	if (volume > silentVolume)
		volume = silentVolume;
	volu = oxle_volume = volume;
	if (browserVisible)
		return;

	const int percent = (silentVolume - volu) * fullPercent / silentVolume;
	if (!volumeIsVisible)
		volumeLabel.show();
	if (isGemini && volumeBarPixmap)
	{
		volumeBarLabel.hide();
		volumeBarLabel.resize(eSize(gx * percent / fullPercent, volumeBarPixmap->getSize().height()));
		volumeBarLabel.show();
	}
	else
	{
		volumeProgress->hide();
		volumeProgress->setPerc(percent);
		volumeProgress->show();
	}
	volumeIsVisible = true;
	volumeHideTimer->start(volumeBarShownMs, false);
}

void eOXLE::hideVolumeBar()
{
	volumeLabel.hide();
	volumeBarLabel.hide();
	volumeProgress->hide();
	volumeIsVisible = false;
}

void eOXLE::closeApp()
{
	if (TIMEREVENT <= TIMEREVENT_NONE)
		return;
	if (volumeIsVisible)
		hideVolumeLabels();
	bool volumeGiven = false;
	if (browserVisible)
	{
		handBackVolume();
		volumeGiven = true;
		infoTimer->stop();
		if (i_isVisible)
			closeInfo();
		if (engineStatus() == eOXLEEngine::STATUS_PLAYING)
			toPlaybackView();
	}
	if (volumeIsVisible)
		hideVolumeLabels();
	if (!browserVisible)
	{
		// The plugin goes next: the server's answer is not waited for.
		if (markStreamClosing())
			eTCP::getInstance()->sendWithoutReply("VLC", "STP", "NOUP", "", "");
		showMenu();
		setPanelName(loadFile);
	}
	// Leaving from the playback view gives the volume back all the same, as Exit
	// pressed until the plugin closes would.
	if (!volumeGiven)
	{
		handBackVolume();
		infoTimer->stop();
		if (i_isVisible)
			closeInfo();
	}
	close(0);
}
