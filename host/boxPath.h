#ifndef OXLE_HOST_BOXPATH_H
#define OXLE_HOST_BOXPATH_H

#include "eString.h"

// Every absolute path of the box goes through here. On the box itself this is the
// identity; the desktop host puts its box root in front.
eString boxPath(const char* absolutePath);

#endif
