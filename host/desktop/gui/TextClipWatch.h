#ifndef OXLE_DESKTOP_TEXTCLIPWATCH_H
#define OXLE_DESKTOP_TEXTCLIPWATCH_H

#include <set>
#include <string>

#include "eRect.h"
#include "eString.h"

class eWidget;

// Notices a text that the screen does not show whole and tells the journal, once per
// widget class, text and cause: {"ev":"clip","class":…,"text":…,"by":"edge"} when its ink
// runs past the area it may draw on, "by":CLASS when it runs into the next widget beside
// or below it, of that class.
// A box's skin fits every text of its plugins, so on the desktop this marks a layout the
// viewer would see cut. GUI thread only.
class TextClipWatch
{
public:
	static TextClipWatch& instance();

	// While one lives, text drawn on the screen is the widget's.
	class Drawing
	{
	public:
		explicit Drawing(const eWidget* widget);
		~Drawing();
		Drawing(const Drawing&) = delete;
		Drawing& operator=(const Drawing&) = delete;

	private:
		const eWidget* previous;
	};

	// ink: the text's inked box, extent: what must fit (eTextPara::Impl::extent), shown:
	// where it may go; all in screen coordinates. Only ink counts against a neighbour.
	void drawn(const eString& text, const eRect& ink, const eRect& extent, const eRect& shown);

private:
	TextClipWatch() = default;
	void tell(const eString& text, const char* by);

	const eWidget* current = nullptr;
	std::set<std::string> told;
};

#endif
