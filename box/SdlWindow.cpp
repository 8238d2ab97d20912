#include "SdlWindow.h"

#include <cstdlib>

#include <SDL.h>

#include "KeyInput.h"
#include "Screen.h"
#include "eMainloop.h"
#include "eZap.h"

SdlWindow::SdlWindow() = default;

SdlWindow::~SdlWindow()
{
	close();
}

bool SdlWindow::open(std::string& error)
{
	const char* display = std::getenv("DISPLAY");
	const char* wayland = std::getenv("WAYLAND_DISPLAY");
	const char* driver = std::getenv("SDL_VIDEODRIVER");
	// An explicit SDL video driver (such as "dummy" or "offscreen") needs no display server.
	bool haveDisplay = (display && *display) || (wayland && *wayland) || (driver && *driver);
	if (!haveDisplay)
	{
		error = "--window needs a display (DISPLAY or WAYLAND_DISPLAY is not set); use --snapshots DIR to see the "
				"screen without one";
		return false;
	}
	if (SDL_Init(SDL_INIT_VIDEO) != 0)
	{
		error = std::string("--window: no display (") + SDL_GetError() +
			"); use --snapshots DIR to see the screen "
			"without one";
		return false;
	}
	initialised = true;
	window = SDL_CreateWindow(
		"oxle-box", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, Screen::width, Screen::height, 0);
	if (window)
		renderer = SDL_CreateRenderer(window, -1, 0);
	if (!renderer && window)
		renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
	if (renderer)
		texture = SDL_CreateTexture(
			renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, Screen::width, Screen::height);
	if (!texture)
	{
		error = std::string("--window: cannot open a window (") + SDL_GetError() + "); use --snapshots DIR instead";
		close();
		return false;
	}
	return true;
}

void SdlWindow::start()
{
	if (!window || timer)
		return;
	timer.reset(new eTimer(eApp));
	timer->timeout.connect(SigC::slot(*this, &SdlWindow::refresh));
	timer->start(refreshMs, false);
}

void SdlWindow::close()
{
	if (timer)
		timer->stop();
	timer.reset();
	if (texture)
		SDL_DestroyTexture(texture);
	if (renderer)
		SDL_DestroyRenderer(renderer);
	if (window)
		SDL_DestroyWindow(window);
	texture = nullptr;
	renderer = nullptr;
	window = nullptr;
	if (initialised)
		SDL_Quit();
	initialised = false;
}

const char* SdlWindow::remoteKeyFor(int key)
{
	switch (key)
	{
	case SDLK_UP:
		return "up";
	case SDLK_DOWN:
		return "down";
	case SDLK_LEFT:
		return "left";
	case SDLK_RIGHT:
		return "right";
	case SDLK_RETURN:
	case SDLK_KP_ENTER:
		return "ok";
	case SDLK_ESCAPE:
	case SDLK_BACKSPACE:
		return "exit";
	case SDLK_F1:
		return "help";
	case SDLK_F5:
		return "red";
	case SDLK_F6:
		return "green";
	case SDLK_F7:
		return "yellow";
	case SDLK_F8:
		return "blue";
	case SDLK_PLUS:
	case SDLK_KP_PLUS:
		return "volup";
	case SDLK_MINUS:
	case SDLK_KP_MINUS:
		return "voldown";
	case SDLK_m:
		return "mute";
	case SDLK_a:
		return "audio";
	default:
		break;
	}
	static const char* const digits[] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
	if (key >= SDLK_0 && key <= SDLK_9)
		return digits[key - SDLK_0];
	if (key >= SDLK_KP_1 && key <= SDLK_KP_9)
		return digits[key - SDLK_KP_1 + 1];
	if (key == SDLK_KP_0)
		return digits[0];
	return nullptr;
}

void SdlWindow::refresh()
{
	if (!window)
		return;
	SDL_Event event;
	while (SDL_PollEvent(&event))
	{
		if (event.type == SDL_QUIT || (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE))
		{
			eZap::getInstance()->quit(0);
			return;
		}
		if (event.type == SDL_KEYDOWN)
		{
			const char* name = remoteKeyFor(event.key.keysym.sym);
			if (name)
				pending.push_back(name);
		}
	}

	Screen& screen = Screen::instance();
	// Widgets ask for their redraws themselves; the video plane may change any time.
	if (screen.redrawPending())
		screen.redrawAll();
	std::vector<uint32_t> picture = screen.composite();
	if (picture.size() == size_t(Screen::width) * size_t(Screen::height))
	{
		SDL_UpdateTexture(texture, nullptr, picture.data(), Screen::width * int(sizeof(uint32_t)));
		SDL_RenderClear(renderer);
		SDL_RenderCopy(renderer, texture, nullptr, nullptr);
		SDL_RenderPresent(renderer);
	}

	while (!pending.empty())
	{
		std::string key = pending.front();
		pending.pop_front();
		KeyInput::press(key);
		// A key that ended a nested loop may have closed the window under us.
		if (!window)
			return;
	}
}
