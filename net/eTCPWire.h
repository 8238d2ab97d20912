#ifndef OXLE_NET_ETCPWIRE_H
#define OXLE_NET_ETCPWIRE_H

#include <cstddef>

#include "eString.h"

// The byte-level side of the command channel, kept apart from the sockets so that it
// can be checked on plain strings.

// The request as it goes on the wire: group|command|argument, then |extra1 and
// |extra2 each only when not empty. No escaping, no line end.
eString buildRequestWire(const eString& group, const eString& command, const eString& argument, const eString& extra1,
	const eString& extra2);

// Turns a complete reply into the caller's result. "GFL" listings pass unchanged;
// "GCO" is stored in the box's oxle.xml and answered with "+ok" ("+nok" when the file
// cannot be written); for every other command a reply with "+ok" right after its
// first character becomes "+nok".
eString applyReplyRules(const eString& command, eString reply);

#endif
