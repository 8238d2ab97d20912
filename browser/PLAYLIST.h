#ifndef OXLE_BROWSER_PLAYLIST_H
#define OXLE_BROWSER_PLAYLIST_H

#include "eString.h"

// Entry kinds; the list view sorts by kind first, so the order of these values is the
// order of the rows.
enum
{
	TYPE_PARENT = 0,
	TYPE_DIRECTORY = 1,
	TYPE_FILE = 2,
	TYPE_MESSAGE = 3
};

// List modes: what loadList fetches, and what is remembered as "lastmode".
enum
{
	MODE_FILES = 0,
	MODE_VCD = 1,
	MODE_SVCD = 2,
	MODE_DVD = 3
};

// One browser entry, held by value in the main window's listing.
struct PLAYLIST
{
	int type = TYPE_MESSAGE;
	int startOffset = 0; // minutes
	int sizeMB = 0;      // MiB, 32 bits is plenty; the byte count itself is read as 64-bit
	eString name;        // what playback and the status line call the entry
	eString path;        // what the server is sent to list or play it
	eString text;        // the row text
	eString pic;         // icon file name in the pictures directory (files only)
	eString date;
};

// Name order by unsigned bytes: every upper-case ASCII letter before every lower-case
// one, bytes over 127 after all ASCII.
bool sortByName(const PLAYLIST& a, const PLAYLIST& b);
// Kind first, then name: the order of every listing on screen.
bool sortByType(const PLAYLIST& a, const PLAYLIST& b);

#endif
