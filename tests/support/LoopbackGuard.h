#ifndef OXLE_TESTS_SUPPORT_LOOPBACKGUARD_H
#define OXLE_TESTS_SUPPORT_LOOPBACKGUARD_H

// For test binaries that run on the desktop host: once the box root is set up, nothing
// the plugin sends may leave the loopback range. A root that points anywhere else
// stops the binary before its first test. Header-only: the support library itself
// does not link the host.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "TempBoxRoot.h"
#include "eConfig.h"

inline void requireLoopbackServer()
{
	char* ip = nullptr;
	if (eConfig::getInstance()->getKey(TempBoxRoot::SERVER_IP_KEY, ip) != 0 || !ip || strcmp(ip, "127.0.0.1") != 0)
	{
		fprintf(stderr, "the test box root does not point the plugin at 127.0.0.1 (%s)\n", ip ? ip : "none");
		abort();
	}
	free(ip);
}

#endif
