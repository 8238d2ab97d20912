#ifndef OXLE_DESKTOP_EDESKTOPAVSWITCH_H
#define OXLE_DESKTOP_EDESKTOPAVSWITCH_H

#include <mutex>

#include "eAVSwitch.h"

// The desktop's volume: only a number and a mute flag, journalled and signalled.
class eDesktopAVSwitch : public eAVSwitch
{
public:
	static const int loudest = 0;
	static const int silent = 63;
	static const int initialVolume = 20;

	static eDesktopAVSwitch& instance();

	int getVolume() override;
	bool getMute() override;
	void changeVolume(int abs, int vol) override;
	void toggleMute() override;

private:
	eDesktopAVSwitch() = default;
	// Journals the state and raises volumeChanged on the GUI thread.
	void changed(int mute, int volume);

	std::mutex lock; // guards volume and mute
	int volume = initialVolume;
	bool mute = false;
};

#endif
