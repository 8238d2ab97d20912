#ifndef OXLE_DESKTOP_SCREEN_H
#define OXLE_DESKTOP_SCREEN_H

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "gPixmap.h"

class eWidget;

// The TV picture: a 720x576 OSD (what widgets draw) over a video plane (what the
// decoder shows). Widgets are drawn on the GUI thread; the video plane may be set
// from the decoder's thread.
class Screen
{
public:
	static const int width = 720;
	static const int height = 576;

	static Screen& instance();

	// The OSD pixmap; the frame buffer device's pixmap (gFBDC) is this one.
	gPixmap& osd() { return *osdPixmap; }

	// Replaces the video plane with a picture scaled to the screen. Any thread.
	void setVideoFrame(const uint32_t* argb, int w, int h);
	void clearVideo();

	// Redraws every visible top-level widget into the OSD (GUI thread).
	void redrawAll();
	// Top-level widgets register themselves; stacking order follows registration and
	// zOrderRaise.
	void addTopLevel(eWidget* w);
	void removeTopLevel(eWidget* w);
	void raise(eWidget* w);
	void lower(eWidget* w);
	const std::vector<eWidget*>& topLevels() const { return tops; }

	// Asks for one redraw at the next main-loop turn (GUI thread); several requests in
	// one turn give one redraw. Snapshots redraw first when a request is pending.
	void requestRedraw();
	bool redrawPending() const { return dirty; }
	// The desktop widget's children are screen-level widgets of their own: they take
	// part in the stacking order like top-level widgets.
	bool isDesktop(const eWidget* w) const { return w && w == desktopWidget; }
	bool isScreenLevel(const eWidget* w) const;

	// The video plane with the OSD composited over it.
	std::vector<uint32_t> composite();
	// Writes the composite as a PNG; false with a diagnostic on failure.
	bool snapshot(const std::string& path);

	// The screen-level widget behind everything (eZap::getDesktop).
	eWidget* desktop();

private:
	Screen();
	std::unique_ptr<gPixmap> osdPixmap;
	std::vector<eWidget*> tops;
	std::mutex videoLock; // guards video
	std::vector<uint32_t> video;
	eWidget* desktopWidget = nullptr;
	// GUI thread only, like the widgets and the OSD.
	bool makingDesktop = false;
	bool dirty = false;
};

// Writes a 32-bit ARGB image as PNG.
bool savePNG(const std::string& path, const uint32_t* argb, int width, int height);

#endif
