#ifndef OXLE_COMMON_OXLECONFIG_H
#define OXLE_COMMON_OXLECONFIG_H

// The plugin's settings in the host's configuration store: their keys, the readers every
// folder shares, and the rules for values a user or an old store may hold.

#include "eString.h"

// Every key the plugin reads or writes lives under this folder of the store.
#define OXLE_KEY(name) "/enigma/plugins/oxle/" name

// The pictures directory on the box (pass through boxPath before use).
#define OXLE_PICTURES "/var/tuxbox/config/enigma/pictures/oxle/"

// "buffersize": blocks of video to prebuffer, in steps of 4 per cent of the slider.
const int BUFFER_BLOCKS_DEFAULT = 16;
const int BUFFER_BLOCKS_MIN = 4;
const int BUFFER_BLOCKS_MAX = 25;

// The configured "buffersize", or the default when it is outside the usable range.
int bufferBlocks(int configured);

// An integer or string key of the store, or preset/fallback when the store lacks it.
int configInt(const char* key, int preset);
eString configString(const char* key, const char* fallback);

#endif
