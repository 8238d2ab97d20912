#ifndef OXLE_BOX_SDLWINDOW_H
#define OXLE_BOX_SDLWINDOW_H

#include <deque>
#include <memory>
#include <string>

#include "sigc.h"

class eTimer;
struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;

// The box's TV on a PC screen: shows the composited screen and turns keyboard keys
// into remote-control keys. Everything runs on the GUI thread, driven by a repeating
// timer, so it keeps refreshing inside the plugin's nested modal loops.
class SdlWindow : public SigC::Object
{
public:
	SdlWindow();
	~SdlWindow();

	// Opens the window; false with a diagnostic when there is no display.
	bool open(std::string& error);
	// Starts refreshing on the GUI loop.
	void start();
	void close();

	// The remote-control key a keyboard key stands for, null for none.
	static const char* remoteKeyFor(int sdlKeycode);

	static constexpr long refreshMs = 40; // 25 pictures a second

private:
	void refresh();

	SDL_Window* window = nullptr;
	SDL_Renderer* renderer = nullptr;
	SDL_Texture* texture = nullptr;
	std::unique_ptr<eTimer> timer;
	// Keys waiting to be pressed. A key may start a modal loop inside refresh(); the
	// nested refreshes then go on draining this queue, so no key is lost or reordered.
	std::deque<std::string> pending;
	bool initialised = false;
};

#endif
