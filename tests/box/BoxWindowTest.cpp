#include <gtest/gtest.h>

#include "BoxProcess.h"

TEST(BoxWindowTest, WithoutADisplayTheWindowIsRefused)
{
	ScratchDir dir;
	std::vector<std::string> args = fixtureArgs(dir);
	args.insert(args.end(), {"--window", "--keys", dir.write("keys.txt", "exit\n")});
	BoxRun run = runBox(args);
	EXPECT_EQ(run.exitCode, 2) << run.output;
	EXPECT_NE(run.output.find("--snapshots"), std::string::npos) << run.output;
}

TEST(BoxWindowTest, WindowRunsOnAnOffscreenDriver)
{
	ScratchDir dir;
	BoxCall call;
	call.args = fixtureArgs(dir);
	call.args.insert(call.args.end(), {"--window", "--keys", dir.write("keys.txt", "down\nsleep 200\nred\n")});
	call.setEnv["SDL_VIDEODRIVER"] = "offscreen";
	call.unsetEnv = {"OXLE_BOX_ROOT", "DISPLAY", "WAYLAND_DISPLAY"};
	BoxRun run = runBox(call);
	EXPECT_EQ(run.exitCode, 4) << run.output;
}
