#include "eStatusBar.h"

eStatusBar::eStatusBar(eWidget* parent, int mode, const char* decoration) : eLabel(parent, flagWrap, 0, decoration)
{
	(void)mode;
}

void eStatusBar::update(eWidget* source)
{
	setText(source ? source->getHelpText() : eString());
}
