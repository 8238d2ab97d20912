#ifndef OXLE_HOST_ECHECKBOX_H
#define OXLE_HOST_ECHECKBOX_H

#include "eButton.h"

// A labelled check; OK toggles it, then raises checked(state) and selected().
class eCheckbox : public eButton
{
public:
	explicit eCheckbox(eWidget* parent, int checked = 0, int takefocus = 1, const char* decoration = "eCheckBox");
	void setCheck(int c);
	int isChecked() const { return ischecked; }
	void redrawWidget(gPainter* painter, const eRect& area) override;
	const char* className() const override { return "eCheckbox"; }

	SigC::Signal1<void, int> checked;

protected:
	void pressed() override;
	int ischecked;
};

#endif
