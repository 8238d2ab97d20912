#include "FontLibrary.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include "eDebug.h"

namespace
{
const char* const fontDir = "/usr/share/fonts/truetype/dejavu/";
const char* const defaultFamily = "Regular";
const int minPixelSize = 4;
const int maxPixelSize = 200;
const int fixedPointShift = 6; // FreeType's 26.6 fixed point

struct FamilyFile
{
	const char* family;
	const char* file;
};
// The condensed faces come close to the narrow fonts a box's skin uses, for which the
// plugin's windows are laid out.
const FamilyFile familyFiles[] = {
	{"Regular", "DejaVuSans.ttf"},
	{"Bold", "DejaVuSans-Bold.ttf"},
	{"Mono", "DejaVuSansMono.ttf"},
	{"Condensed", "DejaVuSansCondensed.ttf"},
	{"Condensed Bold", "DejaVuSansCondensed-Bold.ttf"},
};
} // namespace

FontLibrary& FontLibrary::instance()
{
	static FontLibrary lib;
	return lib;
}

FontLibrary::FontLibrary()
{
	FT_Library lib = nullptr;
	if (FT_Init_FreeType(&lib) != 0)
		eWarning("fonts: FreeType cannot start; text will not be drawn");
	library = lib;
}

FontLibrary::~FontLibrary()
{
	// A family that fell back shares the regular face.
	std::set<void*> distinct;
	for (auto& f : faces)
		if (f.second && distinct.insert(f.second).second)
			FT_Done_Face(FT_Face(f.second));
	if (library)
		FT_Done_FreeType(FT_Library(library));
}

int FontLibrary::pixelSize(const gFont& font)
{
	if (font.pointSize < minPixelSize)
		return minPixelSize;
	return font.pointSize > maxPixelSize ? maxPixelSize : font.pointSize;
}

std::string FontLibrary::fileFor(const std::string& family)
{
	for (const auto& f : familyFiles)
		if (family == f.family)
			return std::string(fontDir) + f.file;
	if (!family.empty() && warnedFamilies.insert(family).second)
		eWarning("fonts: unknown family \"%s\", using %s", family.c_str(), defaultFamily);
	return fileFor(defaultFamily);
}

void* FontLibrary::face(const std::string& family)
{
	auto it = faces.find(family);
	if (it != faces.end())
		return it->second;
	FT_Face f = nullptr;
	if (library)
	{
		const std::string file = fileFor(family);
		if (FT_New_Face(FT_Library(library), file.c_str(), 0, &f) != 0)
		{
			f = nullptr;
			// A family from a font package that is missing still shows its text.
			const bool fallback = family != defaultFamily;
			eWarning("fonts: cannot load %s%s", file.c_str(), fallback ? ", using the regular face" : "");
			if (fallback)
			{
				faces[family] = face(defaultFamily);
				return faces[family];
			}
		}
	}
	faces[family] = f;
	return f;
}

const FontLibrary::Glyph* FontLibrary::glyph(const gFont& font, uint32_t codepoint)
{
	const int size = pixelSize(font);
	const auto key = std::make_tuple(std::string(font.family), size, codepoint);
	auto it = glyphs.find(key);
	if (it != glyphs.end())
		return &it->second;
	FT_Face f = FT_Face(face(font.family));
	if (!f)
		return nullptr;
	Glyph g;
	if (FT_Set_Pixel_Sizes(f, 0, FT_UInt(size)) == 0 && FT_Load_Char(f, codepoint, FT_LOAD_RENDER) == 0)
	{
		const FT_GlyphSlot slot = f->glyph;
		const FT_Bitmap& bm = slot->bitmap;
		g.left = slot->bitmap_left;
		g.top = slot->bitmap_top;
		g.advance = int(slot->advance.x >> fixedPointShift);
		if (bm.pixel_mode == FT_PIXEL_MODE_GRAY)
		{
			g.width = int(bm.width);
			g.height = int(bm.rows);
			g.coverage.resize(size_t(g.width) * size_t(g.height));
			for (int row = 0; row < g.height; ++row)
				for (int col = 0; col < g.width; ++col)
					g.coverage[size_t(row) * size_t(g.width) + size_t(col)] = bm.buffer[row * bm.pitch + col];
		}
	}
	return &glyphs.emplace(key, std::move(g)).first->second;
}

FontLibrary::Metrics FontLibrary::metrics(const gFont& font)
{
	const int size = pixelSize(font);
	const auto key = std::make_pair(std::string(font.family), size);
	auto it = metricCache.find(key);
	if (it != metricCache.end())
		return it->second;
	Metrics m;
	FT_Face f = FT_Face(face(font.family));
	if (f && FT_Set_Pixel_Sizes(f, 0, FT_UInt(size)) == 0)
	{
		m.ascender = int(f->size->metrics.ascender >> fixedPointShift);
		m.descender = int(f->size->metrics.descender >> fixedPointShift);
		m.lineHeight = int(f->size->metrics.height >> fixedPointShift);
	}
	else
	{
		// Without a face the layout still needs sane lines.
		m.ascender = size;
		m.descender = -size / 4;
		m.lineHeight = size + size / 4;
	}
	metricCache[key] = m;
	return m;
}
