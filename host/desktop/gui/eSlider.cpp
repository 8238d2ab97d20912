#include "eSlider.h"

namespace
{
const int sliderPercentFull = 100;
}

eSlider::eSlider(eWidget* parentWidget, eWidget* description, int minimum, int maximum)
	: eProgress(parentWidget, 1), min(minimum), max(maximum > minimum ? maximum : minimum), descr(description)
{
	setValue(min);
}

void eSlider::setMin(int v)
{
	min = v;
	if (max < min)
		max = min;
	setValue(value);
}

void eSlider::setMax(int v)
{
	max = v < min ? min : v;
	setValue(value);
}

void eSlider::setValue(int v)
{
	value = v < min ? min : (v > max ? max : v);
	setPerc(max > min ? (value - min) * sliderPercentFull / (max - min) : 0);
}

int eSlider::eventHandler(const eWidgetEvent& ev)
{
	if (ev.type == eWidgetEvent::evtAction &&
		(ev.action == &i_cursorActions->left || ev.action == &i_cursorActions->right))
	{
		const int old = value;
		setValue(value + (ev.action == &i_cursorActions->right ? 1 : -1));
		if (value != old)
			changed.emit(value);
		return 1;
	}
	return eProgress::eventHandler(ev);
}
