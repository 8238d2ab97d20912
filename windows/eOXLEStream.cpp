#include "eOXLEStream.h"

#include "eLabel.h"
#include "i18n.h"
#include "oxleGlobals.h"

namespace
{
const char streamVersionText[] = "2.0.0";
const ePoint streamListPosition(5, 5);
const eSize listSize(1, 1);
const ePoint streamTextPosition(5, 5);
const eSize streamTextSize(600, 400);
const int streamListFocusable = 1;

struct FileType
{
	const char* extension;
	const char* description;
};

const FileType fileTypes[] = {
	{"AVI", " - DivX / XVID"},
	{"DIVX", " - DivX / XVID"},
	{"XVID", " - DivX / XVID"},
	{"AVS", " - AviSyth"},
	{"MPG", " - MPEG - Layer 1/2"},
	{"MPEG", " - MPEG - Layer 1/2"},
	{"MP2V", " - MPEG - Layer 1/2"},
	{"DAT", " - MPEG - Layer 1/2"},
	{"ASF", " - Advanced Streaming Format"},
	{"WMV", " - Windows Media Video"},
	{"TS", " - Transport Stream"},
	{"VOB", " - Video Object"},
	{"MP3", " - Music for the Masses"},
	{"OGG", " - Music for the Masses"},
	{"WAV", " - Music for the Masses"},
	{"WMA", " - Music for the Masses"},
	{"BIN", " - Binary Video Format"},
	{"ISO", " - Binary Video Format"},
};

const char unknownType[] = " - Not registered, yet.";
const char contactLine[] = "Contact:\toxle-dev@example.org";
const char creditLine[] = "Thanks to everyone who tested on real boxes.";
} // namespace

eString fileExtension(const eString& name)
{
	const eString::size_type dot = name.rfind('.');
	if (dot == eString::npos)
		return name;
	return name.mid(dot + 1);
}

eString fileTypeDescription(const eString& name)
{
	eString extension = fileExtension(name);
	extension.upper();
	for (const FileType& type : fileTypes)
		if (extension == type.extension)
			return type.description;
	return extension + unknownType;
}

eString streamInfoText(const eString& playing, const eString& next)
{
	return eString::sprintf(
		"OXLE %s\n\n\nStream 1:\t%s\n\nFiletype:\t%s\n\n\nStream 2:\t%s\n\nFiletype:\t%s\n\n\n%s\n\n%s",
		streamVersionText, playing.c_str(), fileTypeDescription(playing).c_str(), next.c_str(),
		fileTypeDescription(next).c_str(), contactLine, creditLine);
}

eOXLEStream::eOXLEStream() : eWindow(0)
{
	init();
}

eOXLEStream::~eOXLEStream() = default;

void eOXLEStream::init()
{
	cmove(ePoint(clientX, clientY));
	cresize(eSize(clientWidth, clientHeight));
	setText(_("StreamInfo"));

	listbox =
		new eListBox<eListBoxEntryText>(this, eListBoxEntryText::getEntryHeight(), streamListFocusable, "eListBox");
	listbox->move(streamListPosition);
	listbox->resize(listSize);
	new eListBoxEntryText(listbox, streamVersionText);

	label = new eLabel(this);
	label->move(streamTextPosition);
	label->resize(streamTextSize);
	label->setText(streamInfoText(loadFile, nextFile));
}
