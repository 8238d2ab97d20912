#include <gtest/gtest.h>

#include <cstdio>
#include <png.h>

#include "BoxProcess.h"

namespace
{
// The fixture window's placement and fill (tests/fixture/eFixtureWindow.h).
const int clientLeft = 110;
const int clientTop = 90;
const int clientHeight = 380;
const uint32_t fixtureBackground = 0x204080;
const uint32_t rgbMask = 0xffffff;

struct Picture
{
	int width = 0, height = 0;
	std::vector<uint32_t> rgb; // 0xRRGGBB
	uint32_t at(int x, int y) const { return rgb[size_t(y) * size_t(width) + size_t(x)]; }
};

bool readPng(const std::string& path, Picture& out)
{
	png_image image{};
	image.version = PNG_IMAGE_VERSION;
	if (!png_image_begin_read_from_file(&image, path.c_str()))
		return false;
	image.format = PNG_FORMAT_RGB;
	std::vector<png_byte> bytes(PNG_IMAGE_SIZE(image));
	if (!png_image_finish_read(&image, nullptr, bytes.data(), 0, nullptr))
		return false;
	out.width = int(image.width);
	out.height = int(image.height);
	out.rgb.resize(size_t(out.width) * size_t(out.height));
	for (size_t i = 0; i < out.rgb.size(); ++i)
		out.rgb[i] = (uint32_t(bytes[3 * i]) << 16) | (uint32_t(bytes[3 * i + 1]) << 8) | bytes[3 * i + 2];
	return true;
}
} // namespace

TEST(BoxSnapshotTest, SnapshotsShowTheFixtureWindow)
{
	ScratchDir dir;
	std::vector<std::string> args = fixtureArgs(dir);
	const std::string snaps = dir / "snaps";
	args.insert(args.end(),
		{"--snapshots", snaps, "--keys", dir.write("keys.txt", "snap list\ndown\nok\nsnap message\nok\nexit\n")});
	BoxRun run = runBox(args);
	ASSERT_EQ(run.exitCode, 0) << run.output;

	Picture list, message, final;
	ASSERT_TRUE(readPng(snaps + "/list.png", list));
	ASSERT_TRUE(readPng(snaps + "/message.png", message));
	ASSERT_TRUE(readPng(snaps + "/final.png", final));
	for (const Picture* p : {&list, &message, &final})
	{
		EXPECT_EQ(p->width, 720);
		EXPECT_EQ(p->height, 576);
	}

	// Below the list and the hint, inside the window's client area, only the window's
	// own background shows.
	const int x = clientLeft + 250, y = clientTop + clientHeight - 20;
	EXPECT_EQ(list.at(x, y) & rgbMask, fixtureBackground) << std::hex << list.at(x, y);
	// The message box covers part of the screen, so the two pictures differ; once the
	// window has gone the final picture no longer shows it.
	EXPECT_NE(list.rgb, message.rgb);
	EXPECT_NE(final.at(x, y) & rgbMask, fixtureBackground);

	auto snapEvents = eventsOf(readJournal(dir / "journal.jsonl"), "snap");
	ASSERT_EQ(snapEvents.size(), 3u);
	EXPECT_EQ(snapEvents[0].value("file", ""), snaps + "/list.png");
	EXPECT_EQ(snapEvents[1].value("file", ""), snaps + "/message.png");
	EXPECT_EQ(snapEvents[2].value("file", ""), snaps + "/final.png");
}
