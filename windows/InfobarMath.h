#ifndef OXLE_WINDOWS_INFOBARMATH_H
#define OXLE_WINDOWS_INFOBARMATH_H

#include <ctime>

#include "eString.h"

// The infobar's figures, worked out from plain numbers and texts so that they can be
// checked without a screen or a server.

// What the server's play-status document says. Fields the document lacks keep these
// values.
struct PlayStatus
{
	int time = 0;     // seconds played
	int length = 0;   // total seconds
	int position = 0; // play position in per cent
	eString codec = "unknown";
	eString resolution = "unknown";
};

// Reads a reply to "VLC" "GTI" "NO". False, with status untouched, when the reply is
// empty or no XML document.
bool readPlayStatus(const eString& reply, PlayStatus& status);

// Seconds still to play; a status whose time runs past its length (or a stream without
// a length) has nothing left, not a negative rest.
int remainingSeconds(const PlayStatus& status);

// "+N min" with the whole minutes left when more than a minute is left, else "+0 min".
eString remainingText(int length, int time);

struct ClockTime
{
	int hour = 0;
	int minute = 0;
};

// Wall-clock time at which a file of length seconds ends when playback started at
// startHour:startMin and the viewer has jumped seekMinutes forward in total. A seek past
// the end leaves the start time.
ClockTime expectedEnd(int length, int seekMinutes, int startHour, int startMin);

// "HH:MM".
eString hourMinute(int hour, int minute);

// The running clock of the infobar. With blinking separators the text alternates
// between "HH.MM.SS" and "HH:MM:SS" from one second to the next (separatorShown is the
// state carried between calls); without, it always has dots.
eString clockText(const std::tm& now, bool blinking, bool& separatorShown);

// Local time of the box: the system clock plus the host's clock correction.
std::tm boxLocalTime(int correctionSeconds);

// Width of the picture-style position bar: the skin's width in whole hundredths, times
// the position, which is held to 0..100 so that the bar never leaves its place.
int positionBarWidth(int skinWidth, int position);

// Names up to this many bytes stand still in the title field.
const unsigned int stillTitleBytes = 25;
// The title timer's tick closes the infobar on this count.
const int selfCloseTicks = 75;

// The title scroll of a name longer than stillTitleBytes: it loses one byte at the left
// per tick until 20 remain, then grows back from the left with five blanks in front,
// and starts over.
class TitleScroll
{
public:
	void start(const eString& name);
	// One tick. True with the text to show (in the title and on the front panel) when
	// the name is long enough to move; false, showing nothing new, otherwise.
	bool step(const eString& name, eString& shown);
	// Leaves the scroll at its whole text (the infobar does this when it closes itself).
	void rest() { position = (unsigned int)text.length(); }
	void reset(const eString& name) { text = name; }

	const eString& scrollText() const { return text; }
	unsigned int scrollPosition() const { return position; }
	bool movingLeft() const { return leftward; }

private:
	eString tail() const;

	eString text;
	unsigned int position = 0;
	bool leftward = true;
};

// Counts one title tick; true on the tick that closes the infobar.
bool selfCloseTick(int& count);

#endif
