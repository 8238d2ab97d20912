#ifndef OXLE_TESTS_E2E_SCREENSHOT_H
#define OXLE_TESTS_E2E_SCREENSHOT_H

#include <cstdint>
#include <string>
#include <vector>

// A snapshot of the box's screen read back from its PNG file, as 8-bit RGB.
class ScreenShot
{
public:
	struct Rgb
	{
		uint8_t r = 0, g = 0, b = 0;
	};

	// false when the file is missing or not a PNG.
	bool load(const std::string& path);
	int width() const { return w; }
	int height() const { return h; }
	Rgb at(int x, int y) const;

	// The rows y (top to bottom) in which some pixel with x in [left, right) passes test.
	template <typename Test> std::vector<int> rowsWith(int left, int right, Test test) const
	{
		std::vector<int> rows;
		for (int y = 0; y < h; ++y)
			for (int x = left; x < right && x < w; ++x)
				if (test(at(x, y)))
				{
					rows.push_back(y);
					break;
				}
		return rows;
	}

private:
	int w = 0, h = 0;
	std::vector<uint8_t> rgb;
};

#endif
