#ifndef OXLE_DESKTOP_EDESKTOPTIMERMANAGER_H
#define OXLE_DESKTOP_EDESKTOPTIMERMANAGER_H

#include <istream>

#include "eTimerManager.h"

// The desktop's timer manager holds no timers of its own: it counts the events of the
// box's timer list file, read afresh at every call so that a test can change it.
class eDesktopTimerManager : public eTimerManager
{
public:
	static eDesktopTimerManager& instance();

	// Events in ROOT/var/tuxbox/config/enigma/timer.epl; 0 when the file is missing.
	int getTimerCount() override;

	// An event is a run of marker lines ("#TYPE", "#TIME_BEGIN", "#LAST_ACTIVATION" at
	// the start of a line, after blanks). A marker the current event already has starts
	// the next one, so files with or without "#TYPE" lines count alike, and a lone
	// "#LAST_ACTIVATION" is an event too. "#DURATION" and other lines only belong to
	// the event they are in.
	static int countEvents(std::istream& in);

private:
	eDesktopTimerManager() = default;
};

#endif
