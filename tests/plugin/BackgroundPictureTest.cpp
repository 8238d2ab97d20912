// The background picture's shell command: every path reaches the tool as one word.
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "BackgroundPicture.h"

TEST(BackgroundPicture, PathsReachTheToolAsOneWordEach)
{
	for (const char* path :
		{"/tmp/box root/oxle.mvi", "/tmp/it's/oxle.mvi", "/tmp/$(echo x)/`echo y`/a;b|c&d>e/\"q\"/*", ""})
	{
		// What the shell makes of the quoted path as the single argument of printf %s.
		FILE* shell = popen(("printf %s " + std::string(shellQuote(path))).c_str(), "r");
		ASSERT_NE(shell, nullptr);
		std::string out(4096, '\0');
		out.resize(fread(&out[0], 1, out.size(), shell));
		pclose(shell);
		EXPECT_EQ(out, path);
	}
	EXPECT_EQ(showIframeCommand("/var/bin/showiframe", "/a b/oxle.mvi"), "'/var/bin/showiframe' '/a b/oxle.mvi'");
}
