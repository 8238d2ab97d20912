#ifndef OXLE_DESKTOP_FOCUSUTIL_H
#define OXLE_DESKTOP_FOCUSUTIL_H

#include "eWidget.h"

// Focus lives on the top-level widget; a widget has it when its window points at it.
inline bool hasFocus(eWidget* w)
{
	return w->getTLW()->getFocus() == w;
}

#endif
