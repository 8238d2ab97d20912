#ifndef OXLE_BROWSER_LISTDOCUMENT_H
#define OXLE_BROWSER_LISTDOCUMENT_H

#include <vector>

#include "PLAYLIST.h"

// The pure work of a listing, free of windows and sockets.

// Reads the server's list document into entries (appended in document order).
// lastPath receives the path of the last directory element kept (for "..", the
// parent's path without its trailing separator and dots) and is left alone when the
// document has none. Directory elements named "A:" or naming the CD drive are left
// out. Returns false, with entries untouched, when the text is no XML document.
bool readListDocument(const char* text, const eString& cddrive, std::vector<PLAYLIST>& entries, eString& lastPath);

// The twenty chapter entries of a disc listing (modes 1 to 3); empty for other modes.
std::vector<PLAYLIST> discListing(int mode, const eString& cddrive);

// Window title of a disc listing; empty for other modes.
eString discTitle(int mode, const eString& cddrive);

// "size" attribute to whole MiB: 64-bit bytes, truncated; absent, non-numeric or
// negative gives 0, and a size beyond what 32 bits of MiB hold is clamped.
int sizeInMB(const char* bytes);

// Every backslash doubled (the server reads the path back with escapes).
eString doubleBackslashes(const eString& path);

#endif
