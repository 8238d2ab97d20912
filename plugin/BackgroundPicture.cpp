#include "BackgroundPicture.h"

#include <unistd.h>

#include <cstdlib>

#include "boxPath.h"
#include "eDebug.h"

eString shellQuote(const eString& text)
{
	eString quoted = "'";
	for (char c : text)
	{
		if (c == '\'')
			quoted += "'\\''";
		else
			quoted += c;
	}
	quoted += "'";
	return quoted;
}

eString showIframeCommand(const eString& tool, const eString& picture)
{
	return shellQuote(tool) + " " + shellQuote(picture);
}

bool showBackgroundPicture()
{
	const eString picture = boxPath("/var/tuxbox/config/enigma/pictures/oxle/oxle.mvi");
	if (access(picture.c_str(), F_OK) != 0)
		return false;
	// The box root of a desktop run may hold blanks or quotes: the paths are words of
	// a shell command line.
	const int result = system(showIframeCommand(boxPath("/var/bin/showiframe"), picture).c_str());
	if (result != 0)
	{
		eDebug("[OXLE] showiframe failed (%d)", result);
		return false;
	}
	return true;
}
