#include "oxleGlobals.h"

namespace
{
const int tsPacketSize = 188;
const int packetsPerBlock = 1392;
const int initialBlocks = 15;
const int bufferUnitBlocks = 4;
const int startFontSize = 20;
const int startInfoDelayMs = 300000;
const int logoX = 200, logoY = 300;
} // namespace

bool isStream = true;
int BLOCKSIZE = tsPacketSize * packetsPerBlock;
int INITIALBUFFER = initialBlocks * tsPacketSize * packetsPerBlock;
eIOBuffer tsBuffer_Stream(bufferUnitBlocks* tsPacketSize* packetsPerBlock);

int fd = startFontSize;
bool isGemini = true;
int AUTOPLAY = 1;
int AUTOINFO = 1;
int INFODELAY = startInfoDelayMs;
int audioChannel = 1;
int posx = logoX, posy = logoY;
bool startUp = true;
bool CONNECTION = false;
eString startdir;
eString cddrive;
eString lastDir;
eString l_path;
eString loadFile;
eString nextFile;
eString active_skin = "default";
bool f_support = false;
bool hasPicon = false;
eString myPass;
eString send_parms[10];
eLabel* info = nullptr;
eLabel *l_root = nullptr, *l_svcd = nullptr, *l_vcd = nullptr, *l_dvd = nullptr;
bool switchButton = false;
int shutDown = 0;
int jump = 0, jump_old = 0;
int JumpInMinutes = 0;
bool jump_changed = false;
bool seekskip = false;
bool sMode = false;
int seek = 0;
bool AC_3 = false;
bool started = false, waitStart = false;
int startHour = 0, startMin = 0;
bool paused = false;
bool infoIsVisible = false;
bool i_isVisible = false;
bool volumeIsVisible = false;
int oxle_volume = 0;
int tv_volume = 0;
int volu = 0, currVol = 0;
int gx = 0, gy = 0;
int TIMEREVENT = 0;
eString startTime, nextTime;
