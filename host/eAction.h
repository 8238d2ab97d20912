#ifndef OXLE_HOST_EACTION_H
#define OXLE_HOST_EACTION_H

#include <vector>

#include "eString.h"

class eActionMap;

// One thing a remote-control key can mean. Handlers compare actions by identity.
class eAction
{
public:
	eAction(eActionMap& map, const char* identifier, const char* description);
	eAction(const eAction&) = delete;
	eAction& operator=(const eAction&) = delete;
	const eString& getIdentifier() const { return identifier; }
	const eString& getDescription() const { return description; }
	eActionMap* getMap() const { return map; }

private:
	eActionMap* map;
	eString identifier, description;
};

class eActionMap
{
public:
	eActionMap(const char* identifier, const char* description);
	eActionMap(const eActionMap&) = delete;
	eActionMap& operator=(const eActionMap&) = delete;
	const eString& getIdentifier() const { return identifier; }
	// Entries in the order the map declares them.
	eAction* entry(int index) const;
	int size() const { return int(actions.size()); }

private:
	friend class eAction;
	eString identifier, description;
	std::vector<eAction*> actions;
};

// The cursor map. Entry order is fixed: handlers and key tables refer to entries
// by position (0 up, 1 down, 3 the audio key, 7 ok, 8 exit, 9 help).
struct eCursorActions
{
	eActionMap map{"cursor", "cursor and navigation keys"};
	eAction up{map, "up", "up"};
	eAction down{map, "down", "down"};
	eAction left{map, "left", "left"};
	eAction right{map, "right", "right / audio"};
	eAction insertchar{map, "insertchar", "insert a character"};
	eAction deletechar{map, "deletechar", "delete a character"};
	eAction capslock{map, "capslock", "caps lock"};
	eAction ok{map, "ok", "ok"};
	eAction cancel{map, "cancel", "exit"};
	eAction help{map, "help", "help"};
};

// The shortcut map: entries 0-9 the number keys, 10 red, 11 green, 12 yellow, 13 blue.
struct eShortcutActions
{
	eActionMap map{"shortcut", "number and colour keys"};
	eAction number0{map, "0", "0"};
	eAction number1{map, "1", "1"};
	eAction number2{map, "2", "2"};
	eAction number3{map, "3", "3"};
	eAction number4{map, "4", "4"};
	eAction number5{map, "5", "5"};
	eAction number6{map, "6", "6"};
	eAction number7{map, "7", "7"};
	eAction number8{map, "8", "8"};
	eAction number9{map, "9", "9"};
	eAction red{map, "red", "red"};
	eAction green{map, "green", "green"};
	eAction yellow{map, "yellow", "yellow"};
	eAction blue{map, "blue", "blue"};
};

extern eCursorActions* const i_cursorActions;
extern eShortcutActions* const i_shortcutActions;

#endif
