#ifndef OXLE_HOST_ETIMERMANAGER_H
#define OXLE_HOST_ETIMERMANAGER_H

// The host's recording timers.
class eTimerManager
{
public:
	static eTimerManager* getInstance();
	virtual ~eTimerManager() = default;
	// Number of programmed timer events.
	virtual int getTimerCount() = 0;
};

#endif
