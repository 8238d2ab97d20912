#ifndef OXLE_PLUGIN_BACKGROUNDPICTURE_H
#define OXLE_PLUGIN_BACKGROUNDPICTURE_H

#include "eString.h"

// The plugin's still picture, shown through the box's showiframe tool while nothing
// plays (at start, after a stop, at the end of a playlist).

// text as one word for the shell: in single quotes, each quote inside written as '\''.
eString shellQuote(const eString& text);

// The command that shows picture with tool; both are quoted.
eString showIframeCommand(const eString& tool, const eString& picture);

// Runs showiframe on the background picture when the picture exists. False when the
// picture is missing or the tool failed (a diagnostic says which); nothing else
// depends on it.
bool showBackgroundPicture();

#endif
