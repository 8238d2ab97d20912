#include "KeyInput.h"

#include <cstring>
#include <nlohmann/json.hpp>

#include "Journal.h"
#include "ModalStack.h"
#include "eAVSwitch.h"
#include "eAction.h"
#include "eDebug.h"
#include "eWidget.h"

namespace
{
enum class Target
{
	Cursor,
	Shortcut,
	Volume
};

struct KeyBinding
{
	const char* name;
	Target target;
	int entry; // action map entry, or the volume operation below
};

const int volumeUp = 0;
const int volumeDown = 1;
const int volumeMute = 2;
const int volumeStep = 1;

// Cursor entries: 0 up, 1 down, 2 left, 3 right (also the audio key), 7 ok, 8 exit,
// 9 help. Shortcut entries: 0-9 the digits, 10 red, 11 green, 12 yellow, 13 blue.
const KeyBinding bindings[] = {
	{"up", Target::Cursor, 0},
	{"down", Target::Cursor, 1},
	{"left", Target::Cursor, 2},
	{"right", Target::Cursor, 3},
	{"audio", Target::Cursor, 3},
	{"ok", Target::Cursor, 7},
	{"exit", Target::Cursor, 8},
	{"help", Target::Cursor, 9},
	{"0", Target::Shortcut, 0},
	{"1", Target::Shortcut, 1},
	{"2", Target::Shortcut, 2},
	{"3", Target::Shortcut, 3},
	{"4", Target::Shortcut, 4},
	{"5", Target::Shortcut, 5},
	{"6", Target::Shortcut, 6},
	{"7", Target::Shortcut, 7},
	{"8", Target::Shortcut, 8},
	{"9", Target::Shortcut, 9},
	{"red", Target::Shortcut, 10},
	{"green", Target::Shortcut, 11},
	{"yellow", Target::Shortcut, 12},
	{"blue", Target::Shortcut, 13},
	{"volup", Target::Volume, volumeUp},
	{"voldown", Target::Volume, volumeDown},
	{"mute", Target::Volume, volumeMute},
};

const KeyBinding* find(const std::string& name)
{
	for (const KeyBinding& b : bindings)
		if (name == b.name)
			return &b;
	return nullptr;
}
} // namespace

namespace KeyInput
{
bool isKeyName(const std::string& name)
{
	return find(name) != nullptr;
}

bool press(const std::string& name)
{
	const KeyBinding* b = find(name);
	if (!b)
	{
		eWarning("keys: unknown key \"%s\"", name.c_str());
		return false;
	}
	Journal::instance().event("key", {{"key", name}});
	if (b->target == Target::Volume)
	{
		eAVSwitch* avs = eAVSwitch::getInstance();
		if (!avs)
			return true;
		// Volume is attenuation: up lowers it.
		if (b->entry == volumeUp)
			avs->changeVolume(0, -volumeStep);
		else if (b->entry == volumeDown)
			avs->changeVolume(0, volumeStep);
		else
			avs->toggleMute();
		return true;
	}
	const eActionMap& map = b->target == Target::Cursor ? i_cursorActions->map : i_shortcutActions->map;
	const eAction* action = map.entry(b->entry);
	eWidget* receiver = ModalStack::top();
	if (!action || !receiver)
	{
		eDebug("keys: \"%s\" has no receiver", name.c_str());
		return true;
	}
	receiver->event(eWidgetEvent(eWidgetEvent::evtAction, action));
	return true;
}
} // namespace KeyInput
