#ifndef OXLE_HOST_EDECOWIDGET_H
#define OXLE_HOST_EDECOWIDGET_H

#include "eWidget.h"

// A widget whose frame comes from a named skin decoration.
class eDecoWidget : public eWidget
{
public:
	eDecoWidget(eWidget* parent, int takefocus = 0, const char* decoration = nullptr);
	// Reads the decoration's colours and frame from the active skin; false when the
	// skin lacks the decoration (the widget then draws without a frame).
	bool loadDeco();
	void setDecoration(const char* decorationName) { decoration = decorationName ? decorationName : ""; }
	const eString& getDecoration() const { return decoration; }
	bool hasDecoration() const { return decoLoaded; }
	const char* className() const override { return "eDecoWidget"; }

protected:
	void drawDecoration(gPainter* painter, const eRect& area);
	eString decoration;
	bool decoLoaded = false;
	gColor decoBorder;
	int decoBorderWidth = 0;
};

#endif
