#ifndef OXLE_HOST_ESERVICEINTERFACE_H
#define OXLE_HOST_ESERVICEINTERFACE_H

#include "eString.h"

// Names a TV service. type -1 is the invalid reference.
struct eServiceReference
{
	int type = -1;
	int flags = 0;
	int data[8] = {};
	eString path, descr;

	bool valid() const { return type != -1; }
	eString toString() const;
	bool operator==(const eServiceReference& o) const;
	bool operator!=(const eServiceReference& o) const { return !(*this == o); }
};

// The box's TV service: the plugin stops it while it plays and replays it afterwards.
class eServiceInterface
{
public:
	static eServiceInterface* getInstance();
	virtual ~eServiceInterface() = default;
	virtual int play(const eServiceReference& service) = 0;
	virtual int stop(int workaround = 0) = 0;
	// The reference of the running service (invalid when stopped).
	eServiceReference service;
};

#endif
