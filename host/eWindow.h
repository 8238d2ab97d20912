#ifndef OXLE_HOST_EWINDOW_H
#define OXLE_HOST_EWINDOW_H

#include "eWidget.h"

// A decorated top-level window: a title bar above the client area. cmove/cresize
// place the client area; the title is the window's text.
class eWindow : public eWidget
{
public:
	explicit eWindow(int takefocus = 0);
	~eWindow() override;

	void cmove(ePoint position) override;
	void cresize(eSize size) override;
	eSize getClientSize() const override;
	ePoint getClientOffset() const override;
	void redrawWidget(gPainter* painter, const eRect& area) override;
	void helpTextChanged(eWidget* source) override;
	const char* textEvent() const override { return "title"; }
	const char* className() const override { return "eWindow"; }

	static const int titleBarHeight = 36;
	static const int borderWidth = 3;

protected:
	// Unhandled actions go to the focused child; an unhandled exit closes the window.
	int eventHandler(const eWidgetEvent& event) override;
};

#endif
