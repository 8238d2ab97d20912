#include "Screen.h"

#include <algorithm>

#include "ColorBlend.h"
#include "TextClipWatch.h"
#include "eDebug.h"
#include "eMainloop.h"
#include "eWidget.h"
#include "gPainter.h"

namespace
{
// Bilinear weights are kept in 8 fractional bits.
const int fractionBits = 8;
const int fractionOne = 1 << fractionBits;

uint32_t mix(uint32_t a, uint32_t b, int weightB)
{
	uint32_t out = 0;
	for (int shift = 0; shift <= 16; shift += 8)
	{
		const int ca = int((a >> shift) & 0xff), cb = int((b >> shift) & 0xff);
		out |= uint32_t(ca + (((cb - ca) * weightB) >> fractionBits)) << shift;
	}
	return out;
}

void drawTree(gPixmapDC& dc, eWidget* w, const eRect& clip)
{
	const eRect r = w->getAbsoluteRect().intersect(clip);
	if (r.isNull())
		return;
	gPainter painter(dc, r);
	{
		const TextClipWatch::Drawing drawing(w);
		w->eraseBackground(&painter, r);
		w->redrawWidget(&painter, r);
	}
	const eRect client = eRect(w->getAbsolutePosition() + w->getClientOffset(), w->getClientSize()).intersect(clip);
	if (client.isNull())
		return;
	// A copy: a widget's drawing must not be able to pull the list from under us.
	const std::list<eWidget*> children = w->getChildren();
	for (eWidget* child : children)
		if (child->isShown())
			drawTree(dc, child, client);
}
} // namespace

const int Screen::width;
const int Screen::height;

Screen& Screen::instance()
{
	static Screen screen;
	return screen;
}

Screen::Screen() : osdPixmap(new gPixmap(width, height)), video(size_t(width) * size_t(height), 0u)
{
	osdPixmap->fill(eRect(0, 0, width, height), gRGB(ColorBlend::transparent));
}

bool Screen::isScreenLevel(const eWidget* w) const
{
	if (!w || w == desktopWidget || (makingDesktop && !desktopWidget && !w->getParent()))
		return false;
	return !w->getParent() || w->getParent() == desktopWidget;
}

void Screen::setVideoFrame(const uint32_t* argb, int w, int h)
{
	if (!argb || w <= 0 || h <= 0)
	{
		eWarning("screen: ignoring an empty video frame (%dx%d)", w, h);
		return;
	}
	std::vector<uint32_t> scaled(size_t(width) * size_t(height));
	for (int y = 0; y < height; ++y)
	{
		// Sample positions at pixel centres, in fixed point.
		const long long sy = std::max(0LL, ((2LL * y + 1) * h * fractionOne) / (2LL * height) - fractionOne / 2);
		const int y0 = int(sy >> fractionBits), fy = int(sy & (fractionOne - 1));
		const int y1 = std::min(y0 + 1, h - 1);
		const uint32_t* row0 = argb + size_t(y0) * size_t(w);
		const uint32_t* row1 = argb + size_t(y1) * size_t(w);
		uint32_t* out = scaled.data() + size_t(y) * size_t(width);
		for (int x = 0; x < width; ++x)
		{
			const long long sx = std::max(0LL, ((2LL * x + 1) * w * fractionOne) / (2LL * width) - fractionOne / 2);
			const int x0 = int(sx >> fractionBits), fx = int(sx & (fractionOne - 1));
			const int x1 = std::min(x0 + 1, w - 1);
			const uint32_t top = mix(row0[x0], row0[x1], fx);
			const uint32_t bottom = mix(row1[x0], row1[x1], fx);
			// The video plane is opaque whatever the source's alpha says.
			out[x] = mix(top, bottom, fy) & 0x00ffffffu;
		}
	}
	std::lock_guard<std::mutex> guard(videoLock);
	video.swap(scaled);
}

void Screen::clearVideo()
{
	std::lock_guard<std::mutex> guard(videoLock);
	std::fill(video.begin(), video.end(), 0u);
}

void Screen::requestRedraw()
{
	if (dirty)
		return;
	dirty = true;
	if (eApp)
		eApp->post([] {
			Screen& s = Screen::instance();
			if (s.dirty)
				s.redrawAll();
		});
}

void Screen::redrawAll()
{
	dirty = false;
	osdPixmap->fill(eRect(0, 0, width, height), gRGB(ColorBlend::transparent));
	gPixmapDC dc(osdPixmap.get());
	const eRect all(0, 0, width, height);
	const std::vector<eWidget*> order = tops;
	for (eWidget* w : order)
		if (w->isVisible())
			drawTree(dc, w, all);
}

void Screen::addTopLevel(eWidget* w)
{
	if (std::find(tops.begin(), tops.end(), w) == tops.end())
		tops.push_back(w);
}

void Screen::removeTopLevel(eWidget* w)
{
	tops.erase(std::remove(tops.begin(), tops.end(), w), tops.end());
}

void Screen::raise(eWidget* w)
{
	auto it = std::find(tops.begin(), tops.end(), w);
	if (it == tops.end())
		return;
	tops.erase(it);
	tops.push_back(w);
}

void Screen::lower(eWidget* w)
{
	auto it = std::find(tops.begin(), tops.end(), w);
	if (it == tops.end())
		return;
	tops.erase(it);
	tops.insert(tops.begin(), w);
}

std::vector<uint32_t> Screen::composite()
{
	if (dirty)
		redrawAll();
	std::vector<uint32_t> out(size_t(width) * size_t(height));
	std::lock_guard<std::mutex> guard(videoLock);
	for (int y = 0; y < height; ++y)
	{
		const uint32_t* osdRow = osdPixmap->row(y);
		const size_t base = size_t(y) * size_t(width);
		for (int x = 0; x < width; ++x)
			out[base + size_t(x)] = ColorBlend::onVideo(osdRow[x], video[base + size_t(x)]);
	}
	return out;
}

bool Screen::snapshot(const std::string& path)
{
	const std::vector<uint32_t> picture = composite();
	return savePNG(path, picture.data(), width, height);
}

eWidget* Screen::desktop()
{
	if (!desktopWidget)
	{
		// The desktop is never drawn and never stacked: it only parents screen-level
		// widgets. It is left alive at exit, since widgets held by value elsewhere may
		// still point at it while static objects are torn down.
		makingDesktop = true;
		desktopWidget = new eWidget(nullptr);
		makingDesktop = false;
		desktopWidget->resize(eSize(width, height));
		desktopWidget->show();
	}
	return desktopWidget;
}
