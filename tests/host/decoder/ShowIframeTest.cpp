#include "DecoderTestSupport.h"
#include "Journal.h"
#include "ShowIframeListener.h"
#include "ShowIframeProtocol.h"
#include "VirtualDecoder.h"

#include <gtest/gtest.h>

#include <mutex>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
struct Picture
{
	std::mutex lock;
	int count = 0;
	int width = 0, height = 0;
	uint32_t centre = 0;
};

class ShowIframeTest : public ::testing::Test
{
protected:
	TempDir dir;
	Picture picture;

	void SetUp() override
	{
		VirtualDecoder::instance().setFrameSink([this](const VirtualDecoder::Frame& f) {
			std::lock_guard<std::mutex> g(picture.lock);
			picture.count++;
			picture.width = f.width;
			picture.height = f.height;
			picture.centre = f.argb[(f.height / 2) * f.width + f.width / 2];
		});
	}
	void TearDown() override
	{
		VirtualDecoder::instance().setFrameSink(nullptr);
		Journal::instance().close();
	}
	int shown()
	{
		std::lock_guard<std::mutex> g(picture.lock);
		return picture.count;
	}
	// Runs the tool as the plugin does, through the shell; its exit code.
	static int runTool(const std::string& tool, const std::string& file)
	{
		std::string cmd = tool + " " + file + " 2>/dev/null";
		int rc = std::system(cmd.c_str());
		return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
	}
};

bool isRed(uint32_t argb)
{
	int a = argb >> 24, r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
	return a == 0xFF && r > 200 && g < 60 && b < 60;
}
} // namespace

TEST_F(ShowIframeTest, ShowsTheStillAsOnePicture)
{
	const std::string& still = TestMedia::redStill();
	ASSERT_FALSE(still.empty());
	std::string journal = dir / "journal";
	ASSERT_TRUE(Journal::instance().open(journal));
	EXPECT_TRUE(VirtualDecoder::instance().showStill(still));
	Journal::instance().close();
	EXPECT_EQ(shown(), 1);
	EXPECT_EQ(picture.width, 720);
	EXPECT_EQ(picture.height, 576);
	EXPECT_TRUE(isRed(picture.centre)) << std::hex << picture.centre;
	std::vector<nlohmann::json> lines = journalLines(journal);
	ASSERT_EQ(lines.size(), 1u);
	EXPECT_EQ(lines[0]["ev"], "showiframe");
	EXPECT_EQ(lines[0]["file"], still);
	EXPECT_EQ(lines[0]["ok"], true);
}

TEST_F(ShowIframeTest, ShowsNothingForWhatIsNoStill)
{
	std::string garbage = dir / "garbage.mvi";
	FILE* f = fopen(garbage.c_str(), "w");
	ASSERT_TRUE(f);
	for (int i = 0; i < 5000; ++i)
		fputc(i * 31, f);
	fclose(f);
	std::string empty = dir / "empty.mvi";
	fclose(fopen(empty.c_str(), "w"));
	for (const std::string& path : {dir / "missing.mvi", garbage, empty, std::string("/dev/zero")})
	{
		SCOPED_TRACE(path);
		EXPECT_FALSE(VirtualDecoder::instance().showStill(path));
	}
	EXPECT_EQ(shown(), 0);
}

TEST_F(ShowIframeTest, ToolFindsTheSocketUnderItsRoot)
{
	struct Case
	{
		const char* tool;
		const char* root;
		const char* socket;
	};
	const Case cases[] = {
		{"/tmp/r/var/bin/showiframe", "/tmp/r", "/tmp/r/var/run/showiframe.sock"},
		{"/tmp/r//var/bin/showiframe", "/tmp/r", "/tmp/r/var/run/showiframe.sock"},
		{"/var/bin/showiframe", "/", "/var/run/showiframe.sock"},
		{"r/var/bin/showiframe", "r", "r/var/run/showiframe.sock"},
		{"var/bin/showiframe", ".", "./var/run/showiframe.sock"},
	};
	for (const Case& c : cases)
	{
		SCOPED_TRACE(c.tool);
		std::string root = ShowIframeProtocol::rootOfTool(c.tool);
		EXPECT_EQ(root, c.root);
		EXPECT_EQ(ShowIframeProtocol::socketPath(root), c.socket);
	}
}

TEST_F(ShowIframeTest, ToolMakesTheRunningBoxShowTheStill)
{
	const std::string& still = TestMedia::redStill();
	ASSERT_FALSE(still.empty());
	std::string root = dir / "root";
	ASSERT_EQ(mkdir(root.c_str(), 0755), 0);
	ASSERT_EQ(mkdir((root + "/var").c_str(), 0755), 0);
	ASSERT_EQ(mkdir((root + "/var/bin").c_str(), 0755), 0);
	std::string tool = root + "/var/bin/showiframe";
	ASSERT_EQ(symlink(OXLE_SHOWIFRAME_TOOL, tool.c_str()), 0);

	EXPECT_EQ(runTool(tool, still), 1) << "no box listens yet";
	{
		ShowIframeListener listener;
		ASSERT_TRUE(listener.start(root));
		EXPECT_EQ(listener.socketPath(), root + "/var/run/showiframe.sock");
		ShowIframeListener second;
		EXPECT_FALSE(second.start(root)) << "one box per root";

		EXPECT_EQ(runTool(tool, still), 0);
		EXPECT_EQ(shown(), 1);
		EXPECT_TRUE(isRed(picture.centre));
		EXPECT_EQ(runTool(tool, dir / "missing.mvi"), 1) << "a still the box cannot show";
		EXPECT_EQ(shown(), 1);
	}
	struct stat st;
	EXPECT_NE(stat((root + "/var/run/showiframe.sock").c_str(), &st), 0) << "the socket goes with the listener";
	EXPECT_EQ(runTool(tool, still), 1);

	// A socket left behind by a box that died is taken over.
	{
		ShowIframeListener crashed;
		ASSERT_TRUE(crashed.start(root));
		ASSERT_EQ(link((root + "/var/run/showiframe.sock").c_str(), (dir / "stale.sock").c_str()), 0);
	}
	ASSERT_EQ(rename((dir / "stale.sock").c_str(), (root + "/var/run/showiframe.sock").c_str()), 0);
	ShowIframeListener next;
	EXPECT_TRUE(next.start(root));
	EXPECT_EQ(runTool(tool, still), 0);
}
