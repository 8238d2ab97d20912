// The main window's browser: listings from the server or a disc, and the list view.
#include <algorithm>
#include <set>

#include "ListDocument.h"
#include "boxPath.h"
#include "eConfig.h"
#include "eDebug.h"
#include "eListBoxEntryOXLE.h"
#include "eOXLE.h"
#include "eTCP.h"
#include "eZapLCD.h"
#include "oxleConfig.h"
#include "oxleGlobals.h"

namespace
{
const char noConnectionTitle[] = "NO CONNECTION TO OXLE_X86 - PLEASE CHECK";
const char noConnectionText[] = "NO CONNECTION TO OXLE_X86 SERVER AVAILABLE";
// Enough message rows to fill the visible list.
const int noConnectionRows = 21;
const char playlistEnd[] = "Playlist End";
const size_t drivePrefixLength = 2;

eString send(const char* group, const char* command, const eString& argument)
{
	return eTCP::getInstance()->sendGetRequest(group, command, argument, "", "", false);
}

// Listing the PC's floppy drives or its CD drive as a directory would stall the
// server on an empty drive; the disc has listings of its own.
bool isGuardedDrive(const eString& path)
{
	eString prefix = path.left(drivePrefixLength);
	prefix.upper();
	eString drive = cddrive;
	drive.upper();
	return prefix == eString("A:/").left(drivePrefixLength) || prefix == eString("B:/").left(drivePrefixLength) ||
		prefix == drive;
}

// The server names the icon; anything but a plain file name in the pictures
// directory (a path, "..", an empty name) is treated as a missing icon, so that a
// listing cannot make the box open files elsewhere, such as a device that blocks.
bool isPlainFileName(const eString& name)
{
	return !name.empty() && name != "." && name != ".." && name.find('/') == eString::npos;
}

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
} // namespace

void eOXLE::loadList(int mode, eString path)
{
	if ((path.empty() && mode == MODE_FILES) || !CONNECTION)
	{
		showNoServerList();
		return;
	}
	if (mode == MODE_FILES && isGuardedDrive(path))
		return;

	playlist.clear();
	int mediadir = 0;
	eConfig::getInstance()->getKey(OXLE_KEY("mediadir"), mediadir);
	listMode = mode;

	switch (mode)
	{
	case MODE_FILES:
		if (mediadir)
			setText("Using Mediadiroption");
		else
			setText(path == "c:/.." ? eString("Directories") : path);
		break;
	case MODE_VCD:
	case MODE_SVCD:
	case MODE_DVD:
		setText(discTitle(mode, cddrive));
		break;
	default:
		break;
	}

	if (mode == MODE_FILES)
	{
		if (!myPass.empty())
			send("RQS", "PSW", myPass);
		const eString reply = mediadir ? send("VLC", "MDI", "NO") : send("VLC", "GFL", path);
		CONNECTION = true;
		if (reply.empty())
			showNoServerList();
		else if (!readListDocument(reply.c_str(), cddrive, playlist, l_path))
			eDebug("listing of %s is no list document", path.c_str());
	}
	else if (mode == MODE_VCD || mode == MODE_SVCD || mode == MODE_DVD)
	{
		playlist = discListing(mode, cddrive);
		setFocus(listbox);
	}

	eConfig::getInstance()->setKey(OXLE_KEY("lastmode"), mode);
	viewList(0);
}

eString eOXLE::quote(const eString& s)
{
	eString out;
	for (unsigned char c : s)
	{
		const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ':';
		if (keep)
			out += char(c);
		else
			out += eString::sprintf("%%%x", c);
	}
	return out;
}

gPixmap* eOXLE::loadIcon(const eString& file)
{
	auto cached = iconCache.find(file);
	if (cached != iconCache.end())
		return cached->second.get();
	gPixmap* picture = loadPNG(boxPath((eString(OXLE_PICTURES) + file).c_str()).c_str());
	// Only pictures that exist are kept: names come from the server, and a listing
	// full of made-up names must not grow the cache.
	if (picture)
		iconCache[file].reset(picture);
	return picture;
}

void eOXLE::viewList(int sel)
{
	if (!playlist.empty())
		std::sort(playlist.begin(), playlist.end(), sortByType);

	listbox->beginAtomic();
	listbox->clearList();
	eListBoxEntryOXLE* chosen = nullptr;
	std::set<eString> missing; // looked up once per rebuild, not once per row
	int row = 0;
	for (const PLAYLIST& entry : playlist)
	{
		if (entry.type == TYPE_MESSAGE)
			sel = 0;
		const char* fixed = fixedIcon(entry.type);
		const eString file = fixed ? eString(fixed) : entry.pic;
		icon = nullptr;
		if (isPlainFileName(file) && !missing.count(file))
		{
			icon = loadIcon(file);
			if (!icon)
				missing.insert(file);
		}
		eListBoxEntryOXLE* made = new eListBoxEntryOXLE(listbox, entry.text, icon, row);
		++row;
		if (sel >= 1 && entry.type != TYPE_PARENT && made->getIndex() == sel)
			chosen = made;
	}
	if (chosen)
		listbox->setCurrent(chosen, false);
	listbox->endAtomic();

	if (eListBoxEntryOXLE* current = listbox->getCurrent())
		setStatus(current->getIndex());
	if (TIMEREVENT)
		close(0);
}

void eOXLE::showNoServerList()
{
	CONNECTION = false;
	playlist.clear();
	setText(eString("OXLE: ") + noConnectionTitle);
	PLAYLIST message;
	message.type = TYPE_MESSAGE;
	message.name = noConnectionText;
	message.text = noConnectionText;
	playlist.assign(noConnectionRows, message);
	setFocus(listbox);
	viewList(0);
}

void eOXLE::listSelected(eListBoxEntryOXLE* entry)
{
	if (!entry || !browserVisible || !CONNECTION)
		return;
	const int index = entry->getIndex();
	if (index < 0 || size_t(index) >= playlist.size())
		return;
	currentIndex = index;
	const PLAYLIST& chosen = playlist[size_t(index)];
	loadFile = chosen.name;
	nextFile = size_t(index) + 1 < playlist.size() ? playlist[size_t(index) + 1].name : eString(playlistEnd);
	// The row (entry) is deleted by the new listing; nothing of it is used below.
	if (chosen.type != TYPE_FILE)
		loadList(MODE_FILES, chosen.path);
	else
		playerStart(currentIndex);
}

void eOXLE::listSelChanged(eListBoxEntryOXLE* entry)
{
	if (!entry || !browserVisible || !CONNECTION)
		return;
	currentIndex = entry->getIndex();
	setStatus(currentIndex);
	eZapLCD* lcd = eZapLCD::getInstance();
	if (lcd && lcd->lcdMain)
		lcd->lcdMain->setServiceName(entry->getText());
}

eString eOXLE::getPicture(int)
{
	return "film.png";
}
