#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include <SDL.h>

#include "BoxProcess.h"
#include "KeyInput.h"
#include "SdlWindow.h"

TEST(BoxWindowTest, EveryRemoteKeyHasAKeyboardKey)
{
	const int keyboard[] = {SDLK_UP, SDLK_DOWN, SDLK_LEFT, SDLK_RIGHT, SDLK_RETURN, SDLK_KP_ENTER, SDLK_ESCAPE,
		SDLK_BACKSPACE, SDLK_F1, SDLK_F5, SDLK_F6, SDLK_F7, SDLK_F8, SDLK_0, SDLK_5, SDLK_9, SDLK_KP_0, SDLK_KP_1,
		SDLK_KP_9, SDLK_1, SDLK_2, SDLK_3, SDLK_4, SDLK_6, SDLK_7, SDLK_8, SDLK_PLUS, SDLK_KP_PLUS, SDLK_MINUS,
		SDLK_KP_MINUS, SDLK_m, SDLK_a};
	std::set<std::string> reached;
	for (int key : keyboard)
	{
		const char* name = SdlWindow::remoteKeyFor(key);
		ASSERT_NE(name, nullptr) << SDL_GetKeyName(key);
		EXPECT_TRUE(KeyInput::isKeyName(name)) << SDL_GetKeyName(key) << " -> " << name;
		reached.insert(name);
	}
	const char* const remote[] = {"up", "down", "left", "right", "ok", "exit", "help", "red", "green", "yellow", "blue",
		"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "volup", "voldown", "mute", "audio"};
	for (const char* name : remote)
		EXPECT_TRUE(reached.count(name)) << name << " cannot be typed";
	EXPECT_EQ(SdlWindow::remoteKeyFor(SDLK_z), nullptr);
	EXPECT_STREQ(SdlWindow::remoteKeyFor(SDLK_KP_7), "7");
	EXPECT_STREQ(SdlWindow::remoteKeyFor(SDLK_ESCAPE), "exit");
}

TEST(BoxWindowTest, WithoutADisplayTheWindowIsRefused)
{
	ScratchDir dir;
	std::vector<std::string> args = fixtureArgs(dir);
	args.insert(args.end(), {"--window", "--keys", dir.write("keys.txt", "exit\n")});
	BoxRun run = runBox(args);
	EXPECT_EQ(run.exitCode, 2) << run.output;
	EXPECT_NE(run.output.find("--snapshots"), std::string::npos) << run.output;
	EXPECT_FALSE(std::filesystem::exists(dir / "root"));
}

TEST(BoxWindowTest, WindowRunsOnTheDummyVideoDriver)
{
	ScratchDir dir;
	BoxCall call;
	call.args = fixtureArgs(dir);
	call.args.insert(call.args.end(), {"--window", "--keys", dir.write("keys.txt", "down\nsleep 200\nred\n")});
	// SDL's display-less driver; its "offscreen" sibling leaks inside the EGL loader.
	call.setEnv["SDL_VIDEODRIVER"] = "dummy";
	call.unsetEnv = {"OXLE_BOX_ROOT", "DISPLAY", "WAYLAND_DISPLAY"};
	BoxRun run = runBox(call);
	EXPECT_EQ(run.exitCode, 4) << run.output;
}
