#include "ListingView.h"

#include <algorithm>
#include <iterator>
#include <set>

#include "boxPath.h"
#include "gPainter.h"
#include "oxleConfig.h"
#include "oxleGlobals.h"

namespace
{
// The main window's geometry: its client area on the screen, its list inside it.
const int screenWidth = 720, screenHeight = 576;
const int browserX = 75, browserY = 75;
const int clientWidth = 600;
const int listTopGap = 20;
const int listHeight = 280;
const int sideMargin = 10;
const int fontSize = 20;

// The window's icon choice: the kinds the box draws with its own icon.
const char* fixedIcon(int type)
{
	switch (type)
	{
	case TYPE_PARENT:
		return "goup.png";
	case TYPE_DIRECTORY:
		return "folder.png";
	case TYPE_MESSAGE:
		return "default.png";
	default:
		return nullptr;
	}
}

bool isPlainFileName(const eString& name)
{
	return !name.empty() && name != "." && name != ".." && name.find('/') == eString::npos;
}
} // namespace

ListingView::ListingView()
	: listbox(new eListBox<eListBoxEntryOXLE>(nullptr, eListBoxEntryText::getEntryHeight(), 1, "eListBox")),
	  screen(screenWidth, screenHeight)
{
	listbox->move(ePoint(browserX + sideMargin, browserY + fontSize + listTopGap));
	listbox->resize(eSize(clientWidth - 2 * sideMargin, listHeight));
}

ListingView::~ListingView() = default;

gPixmap* ListingView::loadIcon(const eString& file)
{
	auto cached = iconCache.find(file);
	if (cached != iconCache.end())
		return cached->second.get();
	gPixmap* picture = loadPNG(boxPath((eString(OXLE_PICTURES) + file).c_str()).c_str());
	if (picture)
		iconCache[file].reset(picture);
	return picture;
}

void ListingView::show(std::vector<PLAYLIST>& playlist, int sel)
{
	if (!playlist.empty())
		std::sort(playlist.begin(), playlist.end(), sortByType);
	buildRows(playlist, sel);
}

void ListingView::buildRows(const std::vector<PLAYLIST>& playlist, int sel)
{
	listbox->beginAtomic();
	listbox->clearList();
	eListBoxEntryOXLE* chosen = nullptr;
	std::set<eString> missing;
	int row = 0;
	for (const PLAYLIST& entry : playlist)
	{
		if (entry.type == TYPE_MESSAGE)
			sel = 0;
		const char* fixed = fixedIcon(entry.type);
		const eString file = fixed ? eString(fixed) : entry.pic;
		gPixmap* icon = nullptr;
		if (isPlainFileName(file) && !missing.count(file))
		{
			icon = loadIcon(file);
			if (!icon)
				missing.insert(file);
		}
		eListBoxEntryOXLE* made = new eListBoxEntryOXLE(listbox.get(), entry.text, icon, row);
		++row;
		if (sel >= 1 && entry.type != TYPE_PARENT && made->getIndex() == sel)
			chosen = made;
	}
	if (chosen)
		listbox->setCurrent(chosen, false);
	listbox->endAtomic();
}

void ListingView::drawPage()
{
	gPixmapDC dc(&screen);
	gPainter painter(dc);
	listbox->redrawWidget(&painter, listbox->getAbsoluteRect());
}

void ListingView::forgetPageLayout()
{
	const auto& rows = listbox->getEntries();
	const int first = std::min(listbox->getTop(), int(rows.size()));
	// One row more than fits: the list draws a partly visible last row too.
	const int visible = listHeight / listbox->getEntryHeightOwn() + 1;
	auto it = std::next(rows.begin(), first);
	for (int i = 0; i < visible && it != rows.end(); ++i, ++it)
		static_cast<eListBoxEntryOXLE*>(*it)->invalidate();
}

int ListingView::rowsWithIcon() const
{
	int count = 0;
	for (const eListBoxEntry* e : listbox->getEntries())
		count += static_cast<const eListBoxEntryOXLE*>(e)->getIcon() ? 1 : 0;
	return count;
}

int ListingView::distinctColours() const
{
	const eRect area = listbox->getAbsoluteRect();
	std::set<uint32_t> colours;
	for (int y = area.top(); y < area.bottom(); ++y)
		for (int x = area.left(); x < area.right(); ++x)
			colours.insert(screen.pixel(x, y));
	return int(colours.size());
}
