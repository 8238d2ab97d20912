#ifndef OXLE_DESKTOP_KEYINPUT_H
#define OXLE_DESKTOP_KEYINPUT_H

#include <string>

// Turns a remote-control key name into its effect: volume keys act on the volume
// switch; the rest become actions of the cursor or shortcut map, delivered to the
// innermost running modal widget. Writes the "key" journal line. GUI thread only.
namespace KeyInput
{
// Key names: up down left right ok exit help red green yellow blue 0..9 volup voldown
// mute audio. Returns false for an unknown name.
bool isKeyName(const std::string& name);
bool press(const std::string& name);
} // namespace KeyInput

#endif
