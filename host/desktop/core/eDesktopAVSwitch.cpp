#include "eDesktopAVSwitch.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "Journal.h"
#include "eMainloopImpl.h"

eAVSwitch* eAVSwitch::getInstance()
{
	return &eDesktopAVSwitch::instance();
}

eDesktopAVSwitch& eDesktopAVSwitch::instance()
{
	static eDesktopAVSwitch avSwitch;
	return avSwitch;
}

int eDesktopAVSwitch::getVolume()
{
	std::lock_guard<std::mutex> guard(lock);
	return volume;
}

bool eDesktopAVSwitch::getMute()
{
	std::lock_guard<std::mutex> guard(lock);
	return mute;
}

void eDesktopAVSwitch::changeVolume(int abs, int vol)
{
	int newVolume = 0;
	int newMute = 0;
	{
		std::lock_guard<std::mutex> guard(lock);
		// Widened so that a step from the end of int cannot overflow before the clamp.
		const long long wanted = abs ? (long long)vol : (long long)volume + vol;
		volume = int(std::clamp<long long>(wanted, loudest, silent));
		newVolume = volume;
		newMute = mute;
	}
	changed(newMute, newVolume);
}

void eDesktopAVSwitch::toggleMute()
{
	int newVolume = 0;
	int newMute = 0;
	{
		std::lock_guard<std::mutex> guard(lock);
		mute = !mute;
		newVolume = volume;
		newMute = mute;
	}
	changed(newMute, newVolume);
}

void eDesktopAVSwitch::changed(int newMute, int newVolume)
{
	Journal::instance().event("volume", {{"value", newVolume}, {"mute", newMute != 0}});
	// Every change is announced, also one that the clamp swallowed: the viewer pressed
	// a volume key and expects to see the bar.
	if (!eApp || eApp->impl()->onLoopThread())
		volumeChanged.emit(newMute, newVolume);
	else
		eApp->post([this, newMute, newVolume] { volumeChanged.emit(newMute, newVolume); });
}
