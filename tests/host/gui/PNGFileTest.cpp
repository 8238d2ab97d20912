#include <png.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "Screen.h"
#include "gPixmap.h"

namespace
{
int warningLines(const std::string& err)
{
	int n = 0;
	size_t at = 0;
	while ((at = err.find("W: ", at)) != std::string::npos)
	{
		++n;
		at += 3;
	}
	return n;
}

// Writes a PNG of the given libpng format from raw samples, for the colour types the
// host itself never writes.
void writeRaw(const std::string& path, png_uint_32 format, int w, int h, const std::vector<png_byte>& samples)
{
	png_image image;
	memset(&image, 0, sizeof image);
	image.version = PNG_IMAGE_VERSION;
	image.width = png_uint_32(w);
	image.height = png_uint_32(h);
	image.format = format;
	ASSERT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, samples.data(), 0, nullptr)) << image.message;
}
} // namespace

TEST(PNGFile, RoundTripKeepsColourAndTransparency)
{
	GuiTest::TempDir dir;
	const int w = 5, h = 3;
	std::vector<uint32_t> argb(size_t(w * h));
	for (int i = 0; i < w * h; ++i)
		argb[size_t(i)] = gRGB(i * 17, 255 - i * 13, i * 7, 0).argb();
	argb[1] = gRGB(10, 20, 30, 0xff).argb();   // fully transparent
	argb[2] = gRGB(200, 100, 50, 0x80).argb(); // half transparent
	const std::string path = dir.file("round.png");
	ASSERT_TRUE(savePNG(path, argb.data(), w, h));

	std::unique_ptr<gPixmap> back(loadPNG(path.c_str()));
	ASSERT_TRUE(back);
	ASSERT_EQ(back->getSize(), eSize(w, h));
	for (int y = 0; y < h; ++y)
		for (int x = 0; x < w; ++x)
		{
			const uint32_t want = argb[size_t(y * w + x)];
			// A fully transparent pixel keeps only its transparency.
			if ((want >> 24) == 0xff)
				EXPECT_EQ(back->pixel(x, y) >> 24, 0xffu);
			else
				EXPECT_EQ(back->pixel(x, y), want) << x << "," << y;
		}
}

TEST(PNGFile, OpaquePicturesAreWrittenAsRgb)
{
	GuiTest::TempDir dir;
	std::vector<uint32_t> argb(4, gRGB(1, 2, 3).argb());
	const std::string path = dir.file("rgb.png");
	ASSERT_TRUE(savePNG(path, argb.data(), 2, 2));
	std::ifstream in(path, std::ios::binary);
	std::vector<char> head(26);
	in.read(head.data(), std::streamsize(head.size()));
	const int colourTypeOffset = 25;
	const int rgbColourType = 2;
	EXPECT_EQ(head[colourTypeOffset], rgbColourType);
}

TEST(PNGFile, EveryColourTypeLoadsAs32Bit)
{
	GuiTest::TempDir dir;
	struct Case
	{
		const char* name;
		png_uint_32 format;
		std::vector<png_byte> samples; // 2x1 pixels
		uint32_t first, second;
	};
	const Case cases[] = {
		{"gray", PNG_FORMAT_GRAY, {0, 200}, gRGB(0, 0, 0).argb(), gRGB(200, 200, 200).argb()},
		{"gray-alpha", PNG_FORMAT_GA, {50, 255, 90, 0}, gRGB(50, 50, 50).argb(), 0xffu << 24},
		{"rgb", PNG_FORMAT_RGB, {1, 2, 3, 4, 5, 6}, gRGB(1, 2, 3).argb(), gRGB(4, 5, 6).argb()},
		{"rgba", PNG_FORMAT_RGBA, {9, 8, 7, 255, 6, 5, 4, 255}, gRGB(9, 8, 7).argb(), gRGB(6, 5, 4).argb()},
	};
	for (const Case& c : cases)
	{
		const std::string path = dir.file(std::string(c.name) + ".png");
		writeRaw(path, c.format, 2, 1, c.samples);
		std::unique_ptr<gPixmap> pm(loadPNG(path.c_str()));
		ASSERT_TRUE(pm) << c.name;
		EXPECT_EQ(pm->pixel(0, 0), c.first) << c.name;
		if ((c.second >> 24) == 0xff)
			EXPECT_EQ(pm->pixel(1, 0) >> 24, 0xffu) << c.name;
		else
			EXPECT_EQ(pm->pixel(1, 0), c.second) << c.name;
	}
}

TEST(PNGFile, MissingOrBrokenFilesGiveNullAndOneWarning)
{
	GuiTest::TempDir dir;
	std::vector<uint32_t> argb(64, gRGB(1, 2, 3).argb());
	ASSERT_TRUE(savePNG(dir.file("good.png"), argb.data(), 8, 8));
	std::ifstream good(dir.file("good.png"), std::ios::binary);
	const std::string goodBytes((std::istreambuf_iterator<char>(good)), std::istreambuf_iterator<char>());
	const size_t truncatedLength = 40;
	GuiTest::writeFile(dir.file("truncated.png"), goodBytes.substr(0, truncatedLength));
	GuiTest::writeFile(dir.file("empty.png"), "");
	GuiTest::writeFile(dir.file("text.png"), "this is not a picture\n");

	for (const char* name : {"missing.png", "truncated.png", "empty.png", "text.png"})
	{
		testing::internal::CaptureStderr();
		gPixmap* pm = loadPNG(dir.file(name).c_str());
		const std::string err = testing::internal::GetCapturedStderr();
		EXPECT_EQ(pm, nullptr) << name;
		delete pm;
		EXPECT_EQ(warningLines(err), 1) << name << ": " << err;
	}
}

TEST(PNGFile, SaveRefusesNothingToWrite)
{
	GuiTest::TempDir dir;
	testing::internal::CaptureStderr();
	EXPECT_FALSE(savePNG(dir.file("a.png"), nullptr, 4, 4));
	uint32_t one = 0;
	EXPECT_FALSE(savePNG(dir.file("b.png"), &one, 0, 1));
	EXPECT_FALSE(savePNG(dir.path() + "/no/such/dir/c.png", &one, 1, 1));
	EXPECT_EQ(warningLines(testing::internal::GetCapturedStderr()), 3);
}
