// The timer-list guard: the plugin makes way for recordings the host has programmed.
// Its first run also takes the TV service and the volume over from the host.
#include <ctime>
#include <fstream>

#include "BackgroundPicture.h"
#include "TimerListGuard.h"
#include "boxPath.h"
#include "eAVSwitch.h"
#include "eConfig.h"
#include "eDVB.h"
#include "eMainloop.h"
#include "eMessageBox.h"
#include "eOXLE.h"
#include "eOXLEEngine.h"
#include "eTimerManager.h"
#include "oxleConfig.h"
#include "oxleGlobals.h"

namespace
{
const int guardNoticeFlags = eMessageBox::btOK | eMessageBox::iconInfo;
const int shutdownNoticeSeconds = 5;
const int guardStartVolume = 31;
const int loudestVolume = 0;
const int guardSilentVolume = 63;
} // namespace

void eOXLE::parseTimerList()
{
	bool unjudgeable = false;
	if (eTimerManager::getInstance()->getTimerCount() > 0)
	{
		const long long now = (long long)std::time(nullptr) + eDVB::getInstance()->time_difference;
		std::ifstream file(boxPath("/var/tuxbox/config/enigma/timer.epl").c_str());
		if (file)
		{
			const TimerListScan scan = scanTimerList(file);
			file.close();
			unjudgeable = scan.unjudgeable;
			switch (judgeTimerEvents(scan.events, now).verdict)
			{
			case TimerVerdict::InProgress:
				showNotice("A Timerevent is currently in progress. The plugin will shutdown NOW!", "Information",
					shutdownNoticeSeconds, guardNoticeFlags);
				TIMEREVENT = TIMEREVENT_RUNNING;
				closeTimer->start(guardCloseDelayMs, true);
				break;
			case TimerVerdict::Imminent:
				showNotice("A Timerevent will occur within the next 8 mins. The plugin will shutdown NOW!",
					"Information", shutdownNoticeSeconds, guardNoticeFlags);
				TIMEREVENT = TIMEREVENT_SOON;
				closeTimer->start(guardCloseDelayMs, true);
				break;
			case TimerVerdict::Later:
				TIMEREVENT = TIMEREVENT_NONE;
				timerListTimer->start(guardRecheckMs, true);
				break;
			case TimerVerdict::None:
				break;
			}
		}
	}

	if (TIMEREVENT == TIMEREVENT_NONE && unjudgeable && startUp)
		showNotice("Detected one or more unhandled timer-events (e.g. Ngrab, repeating timer etc.).\nRun OXLE at your "
				   "own risk!",
			"Information", 0, guardNoticeFlags);
	if (startUp)
		timerListHandOver();
	startUp = false;
}

void eOXLE::timerListHandOver()
{
	tv_volume = volu = currVol = oxle_volume = guardStartVolume;
	eConfig::getInstance()->getKey(OXLE_KEY("volume"), oxle_volume);
	// A hand-edited store may hold any number; the host's scale is 0..63.
	if (oxle_volume < loudestVolume || oxle_volume > guardSilentVolume)
		oxle_volume = guardStartVolume;
	tv_volume = eAVSwitch::getInstance()->getVolume();
	eAVSwitch::getInstance()->changeVolume(1, oxle_volume);
	currVol = volu = oxle_volume;

	// A playback started within the first second has stopped the service already and
	// saved it then (playerStart); nothing running must not overwrite that.
	if (eServiceInterface* services = eDVB::getInstance()->getServiceAPI())
		if (services->service.valid())
			savedService = services->service;
	// A running recording keeps its service.
	if (TIMEREVENT != TIMEREVENT_RUNNING)
	{
		eServiceInterface::getInstance()->stop(0);
		// The still would cover the picture of a stream that is already playing.
		if (eOXLEEngine::getInstance()->status == eOXLEEngine::STATUS_STOPPED)
			showBackgroundPicture();
	}
}
