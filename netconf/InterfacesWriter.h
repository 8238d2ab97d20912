#ifndef OXLE_NETCONF_INTERFACESWRITER_H
#define OXLE_NETCONF_INTERFACESWRITER_H

#include <list>
#include <map>
#include <string>

#include "InterfacesExport.h"

// A small editor for the box's network configuration file: it rewrites the stanza of
// one interface (its "auto" mention, "iface" line and address settings) and leaves the
// rest of the file as it was, the stanza's other lines included.

// The file's lines without their line feeds. False, with lines empty, when the file
// cannot be read (missing, not a regular file, or a read error).
OXLE_NETCONF_EXPORT bool read_file(std::string path, std::list<std::string>& lines);

// Replaces the file by the lines, each ended by a line feed. The old file is never
// truncated: the lines go to a temporary file beside it, which is synced and then
// renamed over it, keeping the old file's mode and owner; a link is followed to its
// target. A temporary file an earlier, interrupted call left beside it is removed.
// False when anything fails, and the old file is left as it was.
OXLE_NETCONF_EXPORT bool write_file(std::string path, std::list<std::string> lines);

// The line without the word name, words joined by single spaces; the first word is
// always kept. Empty when no other word is left (the caller drops the line).
OXLE_NETCONF_EXPORT std::string remove_interface_from_line(std::string name, std::string line);

// Inserts one tab-indented "name value" line per attribute, in map order, before
// position; returns position.
OXLE_NETCONF_EXPORT std::list<std::string>::iterator add_attributes(std::map<std::string, std::string> attributes,
	std::list<std::string>& lines, std::list<std::string>::iterator position);

// Rewrites every stanza of name (or appends one) and its "auto" mentions; an "auto"
// line left naming nothing goes, unless lines that open nothing follow it. In the old
// body, the address settings (address, netmask, broadcast, gateway, network, hostname)
// and lines named like a new attribute go; every other line stays. A missing
// file becomes a new file holding the stanza; a file that exists but cannot be read is
// left alone (false). Names with white space and values with line breaks are refused
// (false): they would change the file's structure.
OXLE_NETCONF_EXPORT bool write_interface(std::string path, std::string name, bool automatic, std::string family,
	std::string method, std::map<std::string, std::string> attributes);

// Entry points on the box's /etc/network/interfaces.
OXLE_NETCONF_EXPORT bool setDhcpAttributes(std::string name, bool automatic);
OXLE_NETCONF_EXPORT bool setStaticAttributes(std::string name, bool automatic, std::string address, std::string netmask,
	std::string broadcast, std::string gateway);
OXLE_NETCONF_EXPORT bool addLoopbackDevice(std::string name, bool automatic);

#endif
