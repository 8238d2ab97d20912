// The process-wide stream-path globals the engine shares with the main window. The
// plugin defines them with the main window's state; the engine's tests need only these.
#include "oxleGlobals.h"

bool isStream = true;
int BLOCKSIZE = 261696;
int INITIALBUFFER = 15 * 261696;
eIOBuffer tsBuffer_Stream(4 * 261696);
