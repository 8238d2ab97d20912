#ifndef OXLE_HOST_ETEXTINPUTFIELD_H
#define OXLE_HOST_ETEXTINPUTFIELD_H

#include "eButton.h"

// A one-line text field. Number keys type the digits they carry when they are among
// the usable characters; left deletes the last character.
class eTextInputField : public eButton
{
public:
	explicit eTextInputField(eWidget* parent, eLabel* descr = nullptr, const char* decoration = "eTextInputField");
	void setMaxChars(int n) { maxChars = n; }
	int getMaxChars() const { return maxChars; }
	void setUseableChars(const char* chars) { useable = chars ? chars : ""; }
	const eString& getUseableChars() const { return useable; }
	const char* className() const override { return "eTextInputField"; }

protected:
	int eventHandler(const eWidgetEvent& event) override;
	int maxChars = 0;
	eString useable;
};

#endif
