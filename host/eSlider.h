#ifndef OXLE_HOST_ESLIDER_H
#define OXLE_HOST_ESLIDER_H

#include "eProgress.h"

// A value between min and max changed with left/right; raises changed(value).
class eSlider : public eProgress
{
public:
	eSlider(eWidget* parent, eWidget* descr = nullptr, int min = 0, int max = 99);
	void setMin(int v);
	void setMax(int v);
	void setValue(int v);
	int getValue() const { return value; }
	const char* className() const override { return "eSlider"; }

	SigC::Signal1<void, int> changed;

protected:
	int eventHandler(const eWidgetEvent& event) override;
	int min, max, value = 0;
	eWidget* descr;
};

#endif
