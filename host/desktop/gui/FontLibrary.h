#ifndef OXLE_DESKTOP_FONTLIBRARY_H
#define OXLE_DESKTOP_FONTLIBRARY_H

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "gFont.h"

// The FreeType faces behind the skin's font families, and a cache of rendered glyphs.
// Families: "Regular", "Bold", "Mono", "Condensed", "Condensed Bold"; any other name, or
// one whose file is not installed, falls back to "Regular".
// GUI thread only.
class FontLibrary
{
public:
	struct Glyph
	{
		int left = 0, top = 0; // bitmap offset from the pen position (top: up from the baseline)
		int width = 0, height = 0;
		int advance = 0;
		std::vector<uint8_t> coverage; // width * height, 0 blank .. 255 inked
	};
	struct Metrics
	{
		int ascender = 0, descender = 0, lineHeight = 0;
	};

	static FontLibrary& instance();
	~FontLibrary();
	FontLibrary(const FontLibrary&) = delete;
	FontLibrary& operator=(const FontLibrary&) = delete;

	// Null when the family's face cannot be loaded; the pointer stays valid for the
	// life of the process.
	const Glyph* glyph(const gFont& font, uint32_t codepoint);
	Metrics metrics(const gFont& font);
	// Pixel size actually used for a font (clamped to a sane range).
	static int pixelSize(const gFont& font);

private:
	FontLibrary();
	void* face(const std::string& family); // FT_Face, null when unavailable
	std::string fileFor(const std::string& family);

	void* library = nullptr; // FT_Library
	std::map<std::string, void*> faces;
	std::set<std::string> warnedFamilies;
	std::map<std::tuple<std::string, int, uint32_t>, Glyph> glyphs;
	std::map<std::pair<std::string, int>, Metrics> metricCache;
};

#endif
