#ifndef OXLE_DESKTOP_COLORBLEND_H
#define OXLE_DESKTOP_COLORBLEND_H

#include <cstdint>

// Pixel arithmetic on the host's ARGB words. The alpha byte is a transparency, as in
// gRGB: 0x00 opaque, 0xff fully transparent.
namespace ColorBlend
{
const unsigned full = 255;
const uint32_t transparent = 0xff000000u;

inline unsigned opacity(uint32_t argb)
{
	return full - (argb >> 24);
}
inline unsigned channel(uint32_t argb, int shift)
{
	return (argb >> shift) & 0xffu;
}

// src drawn over dst with its opacity scaled by coverage (0..255), as anti-aliased
// glyph edges and alpha-blended pictures need.
inline uint32_t over(uint32_t dst, uint32_t src, unsigned coverage = full)
{
	const unsigned srcOp = opacity(src) * coverage / full;
	if (srcOp == 0)
		return dst;
	if (srcOp == full)
		return src & 0x00ffffffu;
	const unsigned dstOp = opacity(dst);
	const unsigned dstPart = dstOp * (full - srcOp) / full;
	const unsigned outOp = srcOp + dstPart;
	uint32_t out = uint32_t(full - outOp) << 24;
	for (int shift = 0; shift <= 16; shift += 8)
	{
		const unsigned c = (channel(src, shift) * srcOp + channel(dst, shift) * dstPart + outOp / 2) / outOp;
		out |= uint32_t(c > full ? full : c) << shift;
	}
	return out;
}

// The OSD pixel over an opaque video pixel; the result is opaque.
inline uint32_t onVideo(uint32_t osd, uint32_t video)
{
	const unsigned op = opacity(osd);
	uint32_t out = 0;
	for (int shift = 0; shift <= 16; shift += 8)
		out |= uint32_t((channel(osd, shift) * op + channel(video, shift) * (full - op) + full / 2) / full) << shift;
	return out;
}
} // namespace ColorBlend

#endif
