#include "TextClipWatch.h"

#include <nlohmann/json.hpp>

#include "Journal.h"
#include "eWidget.h"

namespace
{
const char* const byEdge = "edge";

bool covers(const eRect& outer, const eRect& inner)
{
	return outer.intersect(inner) == inner;
}
} // namespace

TextClipWatch& TextClipWatch::instance()
{
	static TextClipWatch watch;
	return watch;
}

TextClipWatch::Drawing::Drawing(const eWidget* widget) : previous(instance().current)
{
	instance().current = widget;
}

TextClipWatch::Drawing::~Drawing()
{
	instance().current = previous;
}

void TextClipWatch::drawn(const eString& text, const eRect& ink, const eRect& extent, const eRect& shown)
{
	if (ink.isNull())
		return;
	if (!covers(shown, extent))
		tell(text, byEdge);
	const eWidget* parent = current ? current->getParent() : nullptr;
	if (!parent)
		return;
	const eRect visible = ink.intersect(shown);
	const eRect own = current->getAbsoluteRect();
	for (const eWidget* sibling : parent->getChildren())
	{
		if (sibling == current || !sibling->isShown())
			continue;
		const eRect other = sibling->getAbsoluteRect();
		// Windows lay widgets out left to right and top to bottom, and a widget's area
		// may reach under the next one (a check box's under its neighbour's). So only a
		// sibling that starts to the right or below counts, and not one under the whole
		// widget, which is its backdrop.
		const bool after = other.left() > own.left() || other.top() > own.top();
		if (after && !covers(other, own) && !visible.intersect(other).isNull())
			tell(text, sibling->className());
	}
}

void TextClipWatch::tell(const eString& text, const char* by)
{
	const char* cls = current ? current->className() : "";
	if (!told.insert(std::string(cls) + '\n' + text + '\n' + by).second)
		return;
	Journal::instance().event("clip", {{"class", cls}, {"text", text}, {"by", by}});
}
