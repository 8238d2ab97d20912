#include "eTextPara.h"

#include <algorithm>
#include <climits>

#include "ColorBlend.h"
#include "TextParaImpl.h"
#include "gPainter.h"

namespace
{
const int tabStopSpaces = 8;
const char* const paraDefaultFamily = "Regular";
const int defaultSize = 20;
const uint32_t codeNewline = '\n';
const uint32_t codeTab = '\t';
const uint32_t codeSpace = ' ';
const uint32_t replacement = '?';

int sequenceLength(unsigned char lead)
{
	if (lead < 0x80)
		return 1;
	if ((lead & 0xe0) == 0xc0)
		return 2;
	if ((lead & 0xf0) == 0xe0)
		return 3;
	if ((lead & 0xf8) == 0xf0)
		return 4;
	return 0;
}
} // namespace

std::vector<uint32_t> decodeUtf8(const eString& text)
{
	std::vector<uint32_t> out;
	out.reserve(text.size());
	const size_t n = text.size();
	for (size_t i = 0; i < n;)
	{
		const auto lead = (unsigned char)text[i];
		const int len = sequenceLength(lead);
		bool ok = len > 0 && i + size_t(len) <= n;
		uint32_t cp = len == 1 ? lead : (lead & (0xffu >> (len + 1)));
		for (int k = 1; ok && k < len; ++k)
		{
			const auto c = (unsigned char)text[i + size_t(k)];
			ok = (c & 0xc0) == 0x80;
			cp = (cp << 6) | (c & 0x3f);
		}
		if (!ok)
		{
			out.push_back(lead);
			++i;
			continue;
		}
		out.push_back(cp == 0 ? replacement : cp);
		i += size_t(len);
	}
	return out;
}

void eTextPara::Impl::layout(const eRect& area)
{
	glyphs.clear();
	lines.assign(1, Line());
	FontLibrary& lib = FontLibrary::instance();
	if (font.isNull())
		font = gFont(paraDefaultFamily, defaultSize);
	metrics = lib.metrics(font);
	const FontLibrary::Glyph* space = lib.glyph(font, codeSpace);
	const int spaceAdvance = space ? space->advance : FontLibrary::pixelSize(font) / 3;
	const int tabWidth = spaceAdvance * tabStopSpaces;

	int x = area.left();
	int baseline = area.top() + metrics.ascender;
	size_t wordStart = 0; // index into glyphs of the word being laid out
	bool inWord = false;

	auto newLine = [&]() {
		x = area.left();
		baseline += metrics.lineHeight;
		lines.push_back(Line());
		inWord = false;
	};

	for (uint32_t cp : decodeUtf8(text))
	{
		if (cp == codeNewline)
		{
			newLine();
			continue;
		}
		if (cp == codeTab)
		{
			if (tabWidth > 0)
				x = area.left() + ((x - area.left()) / tabWidth + 1) * tabWidth;
			inWord = false;
			continue;
		}
		if (cp == codeSpace)
		{
			// A wrapped line does not start with the blank that caused the wrap.
			if (!(wrap && x == area.left() && lines.size() > 1))
				x += spaceAdvance;
			inWord = false;
			continue;
		}
		const FontLibrary::Glyph* g = lib.glyph(font, cp);
		if (!g)
			continue;
		if (!inWord)
		{
			wordStart = glyphs.size();
			inWord = true;
		}
		if (wrap && x + g->advance > area.right() && x > area.left())
		{
			const bool wordStartsLine = wordStart == glyphs.size() || glyphs[wordStart].x == area.left();
			if (wordStart < glyphs.size() && !wordStartsLine)
			{
				// Carry the word begun so far to the next line.
				const int shift = glyphs[wordStart].x - area.left();
				newLine();
				inWord = true;
				for (size_t k = wordStart; k < glyphs.size(); ++k)
				{
					glyphs[k].x -= shift;
					glyphs[k].y = baseline;
					glyphs[k].line = lines.size() - 1;
				}
				x = glyphs.back().x + glyphs.back().glyph->advance;
			}
			else
			{
				// A word wider than the area breaks between characters.
				newLine();
				inWord = true;
				wordStart = glyphs.size();
			}
		}
		glyphs.push_back(Placed{g, x, baseline, lines.size() - 1});
		x += g->advance;
	}
	for (const Placed& p : glyphs)
	{
		const int right = p.x + p.glyph->advance - area.left();
		if (right > lines[p.line].width)
			lines[p.line].width = right;
	}
}

void eTextPara::Impl::align(const eRect& area, int rtFlags)
{
	const int halign = rtFlags & (gPainter::RT_HALIGN_RIGHT | gPainter::RT_HALIGN_CENTER);
	std::vector<int> dx(lines.size(), 0);
	for (size_t i = 0; i < lines.size(); ++i)
	{
		const int slack = area.width() - lines[i].width;
		if (halign == gPainter::RT_HALIGN_RIGHT)
			dx[i] = slack;
		else if (halign == gPainter::RT_HALIGN_CENTER)
			dx[i] = slack / 2;
	}
	int dy = 0;
	if (rtFlags & gPainter::RT_VALIGN_CENTER)
		dy = (area.height() - blockHeight()) / 2;
	for (Placed& p : glyphs)
	{
		p.x += dx[p.line];
		p.y += dy;
	}
}

int eTextPara::Impl::blockHeight() const
{
	if (lines.empty())
		return 0;
	// The last line needs only its ascent and descent, not the gap below it.
	return int(lines.size() - 1) * metrics.lineHeight + metrics.ascender - metrics.descender;
}

eRect eTextPara::Impl::boundBox() const
{
	bool any = false;
	int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
	for (const Placed& p : glyphs)
	{
		const FontLibrary::Glyph& g = *p.glyph;
		if (g.width <= 0 || g.height <= 0)
			continue;
		const int gx1 = p.x + g.left, gy1 = p.y - g.top;
		const int gx2 = gx1 + g.width, gy2 = gy1 + g.height;
		if (!any)
		{
			x1 = gx1, y1 = gy1, x2 = gx2, y2 = gy2;
			any = true;
			continue;
		}
		x1 = gx1 < x1 ? gx1 : x1;
		y1 = gy1 < y1 ? gy1 : y1;
		x2 = gx2 > x2 ? gx2 : x2;
		y2 = gy2 > y2 ? gy2 : y2;
	}
	return any ? eRect(x1, y1, x2 - x1, y2 - y1) : eRect();
}

eRect eTextPara::Impl::extent() const
{
	const eRect ink = boundBox();
	if (ink.isNull())
		return ink;
	int x1 = INT_MAX, x2 = INT_MIN;
	for (const Placed& p : glyphs)
		if (p.glyph->width > 0 && p.glyph->height > 0)
		{
			x1 = std::min(x1, p.x);
			x2 = std::max(x2, p.x + p.glyph->advance);
		}
	return eRect(x1, ink.top(), x2 - x1, ink.height());
}

void eTextPara::Impl::draw(gPixmap& target, ePoint offset, const eRect& clip, uint32_t color) const
{
	const eRect bounds = clip.intersect(eRect(0, 0, target.width(), target.height()));
	if (bounds.isNull())
		return;
	for (const Placed& p : glyphs)
	{
		const FontLibrary::Glyph& g = *p.glyph;
		const int gx = offset.x + p.x + g.left;
		const int gy = offset.y + p.y - g.top;
		const eRect r = eRect(gx, gy, g.width, g.height).intersect(bounds);
		for (int py = r.top(); py < r.bottom(); ++py)
		{
			uint32_t* line = target.row(py);
			const uint8_t* cov = g.coverage.data() + size_t(py - gy) * size_t(g.width);
			for (int px = r.left(); px < r.right(); ++px)
			{
				const unsigned c = cov[px - gx];
				if (c)
					line[px] = ColorBlend::over(line[px], color, c);
			}
		}
	}
}

eTextPara::eTextPara(eRect bounds) : area(bounds), d(new Impl)
{
}

eTextPara::~eTextPara() = default;

void eTextPara::setFont(const gFont& font)
{
	d->font = font;
	if (!d->text.empty())
		d->layout(area);
}

int eTextPara::renderString(const eString& text, int flags)
{
	d->text += text;
	d->wrap = (flags & RS_WRAP) != 0;
	d->layout(area);
	return 0;
}

eRect eTextPara::getBoundBox()
{
	return d->boundBox();
}
