#ifndef OXLE_HOST_ESTATUSBAR_H
#define OXLE_HOST_ESTATUSBAR_H

#include "eLabel.h"

// Shows the help text of the window's focused widget, following it as it changes.
class eStatusBar : public eLabel
{
public:
	explicit eStatusBar(eWidget* parent, int mode = 0, const char* decoration = "eStatusBar");
	void update(eWidget* source);
	void focusHelpChanged(eWidget* source) override { update(source); }
	const char* textEvent() const override { return "status"; }
	const char* className() const override { return "eStatusBar"; }
};

#endif
