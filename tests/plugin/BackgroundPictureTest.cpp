// The background picture's shell command.
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "BackgroundPicture.h"

namespace
{
// What the shell makes of word as the single argument of printf %s.
std::string throughShell(const std::string& word)
{
	const std::string command = "printf %s " + word;
	FILE* pipe = popen(command.c_str(), "r");
	if (!pipe)
		return "<no shell>";
	std::string out;
	char buffer[256];
	size_t got = 0;
	while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
		out.append(buffer, got);
	pclose(pipe);
	return out;
}
} // namespace

TEST(BackgroundPictureTest, PathsReachTheToolAsOneWordEach)
{
	const char* const paths[] = {
		"/var/bin/showiframe",
		"/tmp/box root/var/bin/showiframe",
		"/tmp/it's/oxle.mvi",
		"/tmp/$(echo injected)/`echo injected`/oxle.mvi",
		"/tmp/a;b|c&d>e/\"q\"/*",
		"",
	};
	for (const char* path : paths)
		EXPECT_EQ(throughShell(shellQuote(path)), path);
	EXPECT_EQ(showIframeCommand("/var/bin/showiframe", "/a b/oxle.mvi"), "'/var/bin/showiframe' '/a b/oxle.mvi'");
}
