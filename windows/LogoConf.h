#ifndef OXLE_WINDOWS_LOGOCONF_H
#define OXLE_WINDOWS_LOGOCONF_H

#include "eString.h"

// The picon table of the box: where the host's channel infobar shows a station logo,
// in general and per skin. The infobar puts the plugin's own logo there.

// Set once a position for the skin in use was taken from the table; general positions
// are ignored from then on. Never reset while the plugin is loaded. GUI thread only.
extern bool formatted_skin;

struct LogoPlace
{
	int x = 0;
	int y = 0;
	// A position for the skin itself was found (now or by an earlier read).
	bool skinSpecific = false;
};

// Reads the table in file (ISO-8859-1) into place: a "skin" entry of "pskins" whose
// name is skin, byte for byte, wins over every "framebuffer" entry of "values",
// wherever it stands; among several, the last one wins. 0 when the file was read and
// has a root element (even without any usable entry), -1 when it cannot be opened, is
// malformed or has no root element; place is then left as it was.
int readLogoConfFile(const char* file, const eString& skin, LogoPlace& place);

// The main window's start-up read: the box's table for active_skin into posx, posy and
// formatted_skin. Returns as readLogoConfFile; 0 means the logo may be shown.
int readPiconTable();

#endif
