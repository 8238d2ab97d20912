#include "eStatusBar.h"

eStatusBar::eStatusBar(eWidget* parentWidget, int mode, const char* decorationName)
	: eLabel(parentWidget, flagWrap, 0, decorationName)
{
	(void)mode;
}

void eStatusBar::update(eWidget* source)
{
	setText(source ? source->getHelpText() : eString());
}
