#include "eAction.h"

eAction::eAction(eActionMap& owner, const char* id, const char* text) : map(&owner), identifier(id), description(text)
{
	owner.actions.push_back(this);
}

eActionMap::eActionMap(const char* id, const char* text) : identifier(id), description(text)
{
}

eAction* eActionMap::entry(int index) const
{
	if (index < 0 || index >= int(actions.size()))
		return nullptr;
	return actions[size_t(index)];
}

namespace
{
// The pointers are constant-initialised and never change; the maps are filled by the
// time main() runs.
eCursorActions cursorActions;
eShortcutActions shortcutActions;
} // namespace

eCursorActions* const i_cursorActions = &cursorActions;
eShortcutActions* const i_shortcutActions = &shortcutActions;
