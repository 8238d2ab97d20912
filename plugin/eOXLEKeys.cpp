// The remote control of the main window: browsing modes and button pages in the
// browser view; seek, skip, pause, end-of-playlist action, audio and the overlay
// windows in the playback view.
#include "BackgroundPicture.h"
#include "Decoder.h"
#include "eMainloop.h"
#include "eMessageBox.h"
#include "eOXLE.h"
#include "eOXLEEngine.h"
#include "oxleGlobals.h"

namespace
{
const int noticeFlags = eMessageBox::btOK | eMessageBox::iconInfo;
const int seekNoticeSeconds = 3;
const int shutDownNoticeSeconds = 4;
const int audioChannelNoticeSeconds = 2;
const int audioChannels = 5;
// The shortcut map's first entries: the number keys 0 to 9.
const int numberKeys = 10;
const int shutDownModes = 4;
// Key 2 announces a new step only from here on: 3, 5, 7 and 9 go by silently.
const int silentStepLimit = 9;
// Audio types of the decoder: MPEG audio, AC-3, AC-3 from a DVD source.
const int audioTypeMpeg = 0;
const int audioTypeAc3 = 1;
const int audioTypeDvdAc3 = 3;

const char* const shutDownAnnouncements[shutDownModes] = {
	"ShutDown Function disabled",
	"After reaching Playlists End, your dreambox will restart Enigma",
	"After reaching Playlists End, your dreambox will restart itself",
	"After reaching Playlists End, your dreambox will shut Down",
};

struct ButtonPage
{
	const char* red;
	const char* green;
	const char* yellow;
	const char* blue;
};
const ButtonPage firstPage = {"File", "DVD", "(S)VCD", "More.."};
const ButtonPage secondPage = {"Settings", "Infos", "...", "Back.."};

// A DVD's audio: a name ending in "vob" or beginning with "dvd" (a name of three
// characters or less is compared whole).
bool isDvdSource(const eString& name)
{
	const size_t tail = 3;
	const std::string end = name.size() > tail ? name.substr(name.size() - tail) : std::string(name);
	const std::string start = name.substr(0, tail);
	return end == "vob" || start == "dvd";
}
} // namespace

int eOXLE::eventHandler(const eWidgetEvent& event)
{
	if (event.type != eWidgetEvent::evtAction)
		return eWindow::eventHandler(event);
	if (!handleAction(event.action))
		return eWindow::eventHandler(event);
	announceStep();
	return 1;
}

bool eOXLE::handleAction(const eAction* action)
{
	const eCursorActions& cursor = *i_cursorActions;
	const eShortcutActions& keys = *i_shortcutActions;
	const bool playing = !browserVisible && engineStatus() == eOXLEEngine::STATUS_PLAYING;

	if (action == &cursor.cancel)
	{
		exitKey();
		return true;
	}
	if (action == &cursor.ok)
	{
		if (!playing)
			return false;
		openInfobar();
		return true;
	}
	if (action == &cursor.help)
	{
		openHelp();
		return true;
	}
	if (action == &cursor.up)
	{
		if (!playing)
			return false;
		openStreamInfo();
		return true;
	}
	if (action == &cursor.down)
	{
		if (!playing)
			return false;
		showMenu();
		return true;
	}
	if (action == &keys.red)
		return redKey();
	if (action == &keys.yellow)
		return yellowKey();
	if (action == &keys.green)
		return greenKey();
	if (action == &keys.blue)
		return blueKey();
	if (action == &cursor.right)
		return audioTypeKey();
	for (int number = 0; number < numberKeys; ++number)
		if (action == keys.map.entry(number))
			return numberKey(number);
	return false;
}

void eOXLE::exitKey()
{
	if (volumeIsVisible)
	{
		hideVolumeLabels();
		return;
	}
	if (!browserVisible)
	{
		stopPlayback();
		return;
	}
	if (i_isVisible)
		closeInfo();
	if (engineStatus() == eOXLEEngine::STATUS_PLAYING)
		toPlaybackView();
	else
		leave();
}

void eOXLE::stopPlayback()
{
	if (markStreamClosing())
		request("VLC", "STP", "NO");
	statusTimer->stop();
	infoTimer->stop();
	// The server needs a moment to end the stream; a start in this time waits.
	waitStart = true;
	waitTimer->start(restartHoldMs, true);
	showMenu();
	showBackgroundPicture();
	setPanelName(loadFile);
}

bool eOXLE::redKey()
{
	if (browserVisible)
	{
		if (switchButton)
			openSettings();
		else if (CONNECTION)
			loadList(MODE_FILES, request("RQS", "STD", "NO"));
		return true;
	}
	if (engineStatus() != eOXLEEngine::STATUS_PLAYING)
		return true;
	if (jump > 0 && !seekskip)
	{
		request("VLC", "REW", eString::sprintf("%d", jump));
		seek -= jump;
		showNotice(eString::sprintf("Seeking %d min. reverse, please wait....", jump), "Seek Info", seekNoticeSeconds,
			noticeFlags);
	}
	else if (seekskip && currentIndex >= 2)
	{
		--currentIndex;
		request("VLC", "PRV", "NO");
		showNotice("Skipping reverse, please wait ...", "Skip Info", seekNoticeSeconds, noticeFlags);
	}
	return true;
}

bool eOXLE::greenKey()
{
	if (!CONNECTION)
		return false;
	if (browserVisible)
	{
		if (switchButton)
			showFileInfos();
		else
			loadList(MODE_DVD, "");
		return true;
	}
	const int status = engineStatus();
	if (status == eOXLEEngine::STATUS_PLAYING)
	{
		shutDown = shutDown >= 0 && shutDown < shutDownModes - 1 ? shutDown + 1 : 0;
		showNotice(shutDownAnnouncements[shutDown], "ShutDown Info", shutDownNoticeSeconds, noticeFlags);
		return true;
	}
	if (status == eOXLEEngine::STATUS_PAUSED)
	{
		releasePause();
		return true;
	}
	return false;
}

bool eOXLE::yellowKey()
{
	if (!CONNECTION)
		return false;
	if (browserVisible)
	{
		loadList(MODE_VCD, "");
		return true;
	}
	const int status = engineStatus();
	if (status == eOXLEEngine::STATUS_PAUSED)
		releasePause();
	else if (status == eOXLEEngine::STATUS_PLAYING)
		doPause();
	else
		return false;
	return true;
}

bool eOXLE::blueKey()
{
	if (browserVisible)
	{
		switchButton = !switchButton;
		const ButtonPage& page = switchButton ? secondPage : firstPage;
		l_root->setText(page.red);
		l_svcd->setText(page.green);
		l_vcd->setText(page.yellow);
		l_dvd->setText(page.blue);
		return true;
	}
	if (engineStatus() != eOXLEEngine::STATUS_PLAYING)
		return false;
	if (jump > 0 && !seekskip)
	{
		request("VLC", "FFW", eString::sprintf("%d", jump));
		seek += jump;
		showNotice(eString::sprintf("Seeking %d min. forward, please wait...", jump), "Seek Info", seekNoticeSeconds,
			noticeFlags);
		return true;
	}
	if (seekskip)
	{
		request("VLC", "NXT", "NO");
		showNotice("Skipping forward, please wait...", "Skip Info", seekNoticeSeconds, noticeFlags);
		return true;
	}
	return false;
}

bool eOXLE::audioTypeKey()
{
	if (!CONNECTION)
		return false;
	if (browserVisible)
		return true;
	if (!AC_3)
	{
		Decoder::parms.audio_type = isDvdSource(loadFile) ? audioTypeDvdAc3 : audioTypeAc3;
		AC_3 = true;
	}
	else
	{
		Decoder::parms.audio_type = audioTypeMpeg;
		AC_3 = false;
	}
	Decoder::Set();
	return true;
}

bool eOXLE::numberKey(int number)
{
	auto stepBy = [](int added) {
		jump += added;
		jump_changed = false;
		if (jump == jump_old)
			return;
		jump_old = jump;
		jump_changed = true;
		// A new step switches back to seeking.
		seekskip = false;
	};

	switch (number)
	{
	case 0:
		if (browserVisible && jump == 1)
		{
			audioChannel = audioChannel >= 1 && audioChannel < audioChannels ? audioChannel + 1 : 1;
			showNotice(eString::sprintf("Prefered audio channel: %d", audioChannel), "AudioChannel",
				audioChannelNoticeSeconds, noticeFlags);
			return true;
		}
		if (!browserVisible && jump > 1)
		{
			jump = 1;
			if (jump_old != 1)
			{
				jump_old = 1;
				jump_changed = true;
				seekskip = false;
			}
			return true;
		}
		return false;
	case 1:
	case 3:
	case 4:
	case 6:
		if (browserVisible)
			return changeStartOffset(number);
		stepBy(number);
		return true;
	case 2:
		jump += number;
		jump_changed = false;
		if (jump != jump_old && jump > silentStepLimit)
		{
			jump_old = jump;
			jump_changed = true;
			seekskip = false;
		}
		return true;
	case 5:
	case 7:
		stepBy(number);
		return true;
	case 8:
		jump += number;
		jump_changed = false;
		if (jump != jump_old)
		{
			jump_old = jump;
			jump_changed = true;
		}
		return true;
	case 9:
		if (browserVisible)
			return false;
		seekskip = !seekskip;
		jump_changed = true;
		return true;
	default:
		return false;
	}
}

bool eOXLE::changeStartOffset(int number)
{
	if (!CONNECTION || currentIndex < 0 || size_t(currentIndex) >= playlist.size())
		return false;
	PLAYLIST& entry = playlist[size_t(currentIndex)];
	if (entry.type != TYPE_FILE)
		return false;
	const int bigStep = 5;
	switch (number)
	{
	case 1:
		if (entry.startOffset >= bigStep)
			entry.startOffset -= bigStep;
		break;
	case 3:
		entry.startOffset += bigStep;
		break;
	case 4:
		if (entry.startOffset > 0)
			--entry.startOffset;
		break;
	case 6:
		++entry.startOffset;
		break;
	default:
		return false;
	}
	viewList(currentIndex);
	return true;
}

void eOXLE::announceStep()
{
	if (jump_changed && !seekskip)
	{
		JumpInMinutes = jump;
		jump_changed = false;
		showNotice(
			eString::sprintf(
				"Press RED to jump %d minute(s) reverse, or\nPress BLUE to jump %d minute(s) forward", jump, jump),
			"Seek Info", seekNoticeSeconds, noticeFlags);
		sMode = false;
	}
	else if (seekskip && jump_changed)
	{
		jump_changed = false;
		showNotice(
			"Press RED to skip reverse, or\nPress BLUE to skip forward", "Skip Info", seekNoticeSeconds, noticeFlags);
		sMode = true;
	}
}
