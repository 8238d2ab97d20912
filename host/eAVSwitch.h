#ifndef OXLE_HOST_EAVSWITCH_H
#define OXLE_HOST_EAVSWITCH_H

#include "sigc.h"

// Volume as attenuation steps: 0 loudest, 63 silent.
class eAVSwitch
{
public:
	static eAVSwitch* getInstance();
	virtual ~eAVSwitch() = default;
	virtual int getVolume() = 0;
	virtual bool getMute() = 0;
	// abs 1: set the volume to vol; abs 0: step it by vol (clamped to 0..63).
	virtual void changeVolume(int abs, int vol) = 0;
	virtual void toggleMute() = 0;
	// (mute, volume), raised on the GUI thread after every change.
	SigC::Signal2<void, int, int> volumeChanged;
};

#endif
