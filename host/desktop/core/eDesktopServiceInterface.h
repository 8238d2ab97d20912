#ifndef OXLE_DESKTOP_EDESKTOPSERVICEINTERFACE_H
#define OXLE_DESKTOP_EDESKTOPSERVICEINTERFACE_H

#include <string>

#include "eServiceInterface.h"

// The desktop's TV service: nothing plays, but stop and play move the running
// reference and are journalled, so a tester sees the plugin hand the decoder over.
// GUI thread only.
class eDesktopServiceInterface : public eServiceInterface
{
public:
	static eDesktopServiceInterface& instance();

	int play(const eServiceReference& ref) override;
	int stop(int workaround = 0) override;

	// Makes a pretend service with this name the running one; an empty name stops it.
	void setRunning(const std::string& name);

private:
	eDesktopServiceInterface();
};

#endif
