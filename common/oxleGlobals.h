#ifndef OXLE_COMMON_OXLEGLOBALS_H
#define OXLE_COMMON_OXLEGLOBALS_H

// Process-wide state shared by the main window, the browser, the engine and the
// overlay windows. Everything here is touched on the GUI thread only, except the
// stream-path globals, whose owners say how they are guarded.

#include "eIOBuffer.h"
#include "eString.h"

class eLabel;

// Stream path (engine). BLOCKSIZE and INITIALBUFFER are set on the GUI thread before
// the streaming threads start and read by them afterwards; tsBuffer_Stream is guarded
// by tsMutex_Stream (engine).
extern bool isStream;
extern int BLOCKSIZE;
extern int INITIALBUFFER;
extern eIOBuffer tsBuffer_Stream;

// Look and settings.
extern int fd;
extern bool isGemini;
extern int AUTOPLAY;
extern int AUTOINFO;
extern int INFODELAY;
extern int audioChannel;
extern int posx, posy;
extern bool startUp;
extern bool CONNECTION;
extern eString startdir;
extern eString cddrive;
extern eString lastDir;
extern eString l_path;
extern eString loadFile;
extern eString nextFile;
extern eString active_skin;
extern bool f_support;
extern bool hasPicon;
extern eString myPass;
extern eString send_parms[10];
extern eLabel* info;
extern eLabel *l_root, *l_svcd, *l_vcd, *l_dvd;
extern bool switchButton;
extern int shutDown;
extern int jump, jump_old;
extern int JumpInMinutes;
extern bool jump_changed;
extern bool seekskip;
extern bool sMode;
extern int seek;
extern bool AC_3;
extern bool started, waitStart;
extern int startHour, startMin;
extern bool paused;
extern bool infoIsVisible;
extern bool i_isVisible;
extern bool volumeIsVisible;
extern int oxle_volume;
extern int tv_volume;
extern int volu, currVol;
extern int gx, gy;
extern int TIMEREVENT;
// Values of TIMEREVENT: no timer event near, one begins within eight minutes, one runs.
const int TIMEREVENT_NONE = 0;
const int TIMEREVENT_SOON = 1;
const int TIMEREVENT_RUNNING = 3;
// Written by the infobar: start and expected end of the playing file, "%02d:%02d".
extern eString startTime, nextTime;

#endif
