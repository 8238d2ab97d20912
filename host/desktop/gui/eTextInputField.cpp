#include "eTextInputField.h"

#include <cctype>

#include "FocusUtil.h"
#include "eDesktopSkin.h"
#include "gPainter.h"

namespace
{
const int cursorWidth = 2;
const int inputTextIndent = 4;
const int inputDigitKeys = 10;
} // namespace

eTextInputField::eTextInputField(eWidget* parentWidget, eLabel* description, const char* decorationName)
	: eButton(parentWidget, description, 1, decorationName)
{
	align = gPainter::RT_HALIGN_LEFT;
}

int eTextInputField::eventHandler(const eWidgetEvent& ev)
{
	if (ev.type != eWidgetEvent::evtAction || !ev.action)
		return eButton::eventHandler(ev);
	const eAction* action = ev.action;
	char typed = 0;
	for (int n = 0; n < inputDigitKeys; ++n)
		if (action == i_shortcutActions->map.entry(n))
			typed = char('0' + n);
	// The remote has no key for the separators: right types the first usable
	// character that is not a digit (the dot of an address).
	if (action == &i_cursorActions->right)
	{
		for (char c : useable)
			if (!isdigit((unsigned char)c))
			{
				typed = c;
				break;
			}
		if (!typed)
			return 1;
	}
	if (typed)
	{
		const bool allowed = useable.empty() || useable.find(typed) != eString::npos;
		const bool room = maxChars <= 0 || int(text.size()) < maxChars;
		if (allowed && room)
			setText(text + typed);
		return 1;
	}
	if (action == &i_cursorActions->left)
	{
		if (!text.empty())
			setText(text.left(text.size() - 1));
		return 1;
	}
	return eButton::eventHandler(ev);
}
