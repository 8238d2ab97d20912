#ifndef OXLE_ENGINE_PROGRESSDISPLAY_H
#define OXLE_ENGINE_PROGRESSDISPLAY_H

class gPixmap;
class eLabel;
class eProgress;

// The progress display of a start: a bar picture in a frame and the percentage as
// text, top-level widgets without a parent. The GUI thread builds, updates and hides
// it; it lives until the stream it belongs to ends. These globals are touched by the
// GUI thread, and by the feeder's clean-up only while the GUI thread has no part in
// the stream (between the threads' start and their join), so they take no lock.
extern gPixmap* s_statp;
extern eLabel* v_progress;
extern eProgress* s_stat;
extern eLabel* epT;

// One display's objects, taken out of the globals so that another thread can hand
// them to the GUI thread for release.
struct ProgressParts
{
	gPixmap* picture = nullptr;
	eLabel* bar = nullptr;
	eProgress* frame = nullptr;
	eLabel* text = nullptr;
	bool empty() const { return !picture && !bar && !frame && !text; }
};

// Builds the display at 0 % (any display still left is released first).
void createProgressDisplay();
// Shows percent on the bar and as text.
void showProgress(int percent);
// Hides the bar and frame (when the picture loaded) and the text.
void hideProgressDisplay();
// Hides every widget of the display that exists.
void hideProgressWidgets();
// Empties the globals and hands their objects to the caller.
ProgressParts takeProgressDisplay();
// Deletes the objects; GUI thread only.
void destroyProgressParts(ProgressParts parts);
// Widgets are never deleted on a streaming thread: a display taken there is handed to
// the GUI thread, which releases it on its next turn of the main loop, or, when no loop
// runs any more (the plugin is closing), the next time it starts or ends a stream or
// the main window goes.
void handOverProgressParts(ProgressParts parts);
// Releases every display handed over so far; GUI thread only.
void releaseHandedOverParts();

#endif
