#ifndef OXLE_NETCONF_INTERFACESREADER_H
#define OXLE_NETCONF_INTERFACESREADER_H

#include <map>
#include <string>

#include "InterfacesExport.h"

// Reads one interface's stanza from an interfaces file. automatic tells whether an
// "auto" line names the interface; family and method are written only when its stanza
// is found; attributes collects the stanza's "name value" lines (a later line of the
// same name wins). False when the file cannot be read.
OXLE_NETCONF_EXPORT bool read_interface(std::string path, std::string name, bool& automatic, std::string& family,
	std::string& method, std::map<std::string, std::string>& attributes);

// The IPv4 settings of an interface configured "inet static" in the box's
// /etc/network/interfaces. False, with the four outputs untouched, for any other
// configuration or an unreadable file.
OXLE_NETCONF_EXPORT bool getInetAttributes(std::string name, bool& automatic, std::string& address,
	std::string& netmask, std::string& broadcast, std::string& gateway);

#endif
