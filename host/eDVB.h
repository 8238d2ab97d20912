#ifndef OXLE_HOST_EDVB_H
#define OXLE_HOST_EDVB_H

#include "eServiceInterface.h"

class eDVB
{
public:
	static eDVB* getInstance();
	virtual ~eDVB() = default;
	// The service API; null on a host without one.
	virtual eServiceInterface* getServiceAPI() = 0;
	// Seconds added to the system time for every clock shown to the viewer.
	int time_difference = 0;
};

#endif
