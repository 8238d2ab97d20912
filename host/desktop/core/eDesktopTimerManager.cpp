#include "eDesktopTimerManager.h"

#include <fstream>
#include <string>

#include "boxPath.h"

namespace
{
const char* const timerList = "/var/tuxbox/config/enigma/timer.epl";
const char* const markers[] = {"#TYPE", "#TIME_BEGIN", "#LAST_ACTIVATION"};
const int markerCount = int(sizeof(markers) / sizeof(markers[0]));

// Index of the marker the line starts with, -1 for none. The longest match wins, so
// that a marker that is a prefix of another cannot take its place.
int markerOf(const std::string& line)
{
	const size_t start = line.find_first_not_of(" \t");
	if (start == std::string::npos)
		return -1;
	int found = -1;
	size_t foundLength = 0;
	for (int i = 0; i < markerCount; ++i)
	{
		const std::string marker = markers[i];
		if (marker.size() > foundLength && line.compare(start, marker.size(), marker) == 0)
		{
			found = i;
			foundLength = marker.size();
		}
	}
	return found;
}
} // namespace

eTimerManager* eTimerManager::getInstance()
{
	return &eDesktopTimerManager::instance();
}

eDesktopTimerManager& eDesktopTimerManager::instance()
{
	static eDesktopTimerManager manager;
	return manager;
}

int eDesktopTimerManager::countEvents(std::istream& in)
{
	int events = 0;
	bool seen[markerCount] = {};
	std::string line;
	while (std::getline(in, line))
	{
		const int marker = markerOf(line);
		if (marker < 0)
			continue;
		if (events == 0 || seen[marker])
		{
			++events;
			for (bool& s : seen)
				s = false;
		}
		seen[marker] = true;
	}
	return events;
}

int eDesktopTimerManager::getTimerCount()
{
	std::ifstream in(boxPath(timerList));
	if (!in)
		return 0;
	return countEvents(in);
}
