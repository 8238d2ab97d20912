#ifndef OXLE_HOST_EBUTTON_H
#define OXLE_HOST_EBUTTON_H

#include "eLabel.h"

// A focusable label; OK (or its shortcut colour key) raises selected().
class eButton : public eLabel
{
public:
	explicit eButton(eWidget* parent, eLabel* descr = nullptr, int takefocus = 1, const char* decoration = "eButton");
	void redrawWidget(gPainter* painter, const eRect& area) override;
	const char* className() const override { return "eButton"; }

	SigC::Signal0<void> selected;

protected:
	int eventHandler(const eWidgetEvent& event) override;
	virtual void pressed();
	eLabel* descr;
};

#endif
