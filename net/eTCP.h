#ifndef OXLE_NET_ETCP_H
#define OXLE_NET_ETCP_H

#include "eString.h"

// The command channel to the PC-side server: one short TCP connection per request.
// Stateless; every call reads the server address and port from the configuration.
class eTCP
{
public:
	static eTCP* getInstance();

	// Sends one request (or, with probe, only tries to connect) and returns the reply,
	// "+ok" or "+nok".
	eString sendGetRequest(eString group, eString command, eString argument, eString extra1, eString extra2,
		bool probe);
	eString sendCommand(eString group, eString command, eString argument, eString extra1, eString extra2,
		bool probe);
	eString handling(int socket, eString group, eString command, eString argument, eString extra1, eString extra2);

private:
	eTCP() = default;
};

#endif
