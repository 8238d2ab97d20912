#ifndef OXLE_HOST_EPROGRESS_H
#define OXLE_HOST_EPROGRESS_H

#include "eDecoWidget.h"

// A bar filled from the left to perc per cent (0..100).
class eProgress : public eDecoWidget
{
public:
	explicit eProgress(eWidget* parent = nullptr, int takefocus = 0);
	void setPerc(int perc);
	int getPerc() const { return perc; }
	void setLeftColor(const gColor& c)
	{
		left = c;
		invalidate();
	}
	void setRightColor(const gColor& c)
	{
		right = c;
		invalidate();
	}
	int setProperty(const eString& prop, const eString& value) override;
	void redrawWidget(gPainter* painter, const eRect& area) override;
	const char* className() const override { return "eProgress"; }

	// Width of the frame drawn around the bar, in pixels.
	int border = 2;

protected:
	int perc = 0;
	gColor left, right;
};

#endif
