#include "ListDocument.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "XMLTreeParser.h"
#include "parseXml.h"

namespace
{
const int chapterCount = 20;
const long long bytesPerMB = 1LL << 20;
const char parentName[] = "..";
// A parent directory's path ends in the separator and the two dots.
const size_t parentSuffixLength = 3;
// The floppy drive of the PC shows up as a directory; listing it would hang the
// server on an empty drive.
const char floppyName[] = "A:";

const char* attribute(const XMLTreeNode* node, const char* name)
{
	const char* value = node->GetAttributeValue(name);
	return value ? value : "";
}

// The name in ASCII upper case is the drive, as the box keeps it; no copy of the name.
bool namesDrive(const char* name, const eString& drive)
{
	size_t i = 0;
	for (; name[i]; ++i)
	{
		char c = name[i];
		if (c >= 'a' && c <= 'z')
			c = char(c - 'a' + 'A');
		if (i >= drive.size() || c != drive[i])
			return false;
	}
	return i == drive.size();
}

void assignDoubled(eString& out, const char* path)
{
	if (!std::strchr(path, '\\'))
		out = path;
	else
		out = doubleBackslashes(path);
}
} // namespace

int sizeInMB(const char* bytes)
{
	if (!bytes)
		return 0;
	char* end = nullptr;
	const long long value = std::strtoll(bytes, &end, 10);
	if (end == bytes || value <= 0)
		return 0;
	const long long mb = value / bytesPerMB;
	return mb > INT_MAX ? INT_MAX : int(mb);
}

eString doubleBackslashes(const eString& path)
{
	eString out;
	out.reserve(path.size());
	for (char c : path)
	{
		out += c;
		if (c == '\\')
			out += '\\';
	}
	return out;
}

bool readListDocument(const char* text, const eString& cddrive, std::vector<PLAYLIST>& entries, eString& lastPath)
{
	std::unique_ptr<XMLTreeParser> parser(parseXml(text));
	if (!parser)
		return false;

	for (const XMLTreeNode* node = parser->RootNode()->GetChild(); node; node = node->GetNext())
	{
		const char* type = node->GetAttributeValue("type");
		if (!type)
			continue;
		if (!std::strcmp(type, "directory"))
		{
			const char* name = attribute(node, "name");
			const char* path = attribute(node, "path");
			const bool parent = !std::strcmp(name, parentName);
			if (!parent && (!std::strcmp(name, floppyName) || namesDrive(name, cddrive)))
				continue;
			PLAYLIST& entry = entries.emplace_back();
			entry.path = path;
			if (parent)
			{
				entry.type = TYPE_PARENT;
				const size_t length = entry.path.size();
				lastPath.assign(path, length < parentSuffixLength ? length : length - parentSuffixLength);
			}
			else
			{
				entry.type = TYPE_DIRECTORY;
				entry.name = name;
				entry.text = entry.name;
				lastPath = entry.path;
			}
		}
		else if (!std::strcmp(type, "file"))
		{
			PLAYLIST& entry = entries.emplace_back();
			entry.type = TYPE_FILE;
			entry.name = attribute(node, "name");
			entry.text = entry.name;
			assignDoubled(entry.path, attribute(node, "path"));
			entry.sizeMB = sizeInMB(node->GetAttributeValue("size"));
			entry.pic = attribute(node, "pic");
			entry.date = attribute(node, "date");
		}
	}
	return true;
}

std::vector<PLAYLIST> discListing(int mode, const eString& cddrive)
{
	std::vector<PLAYLIST> entries;
	const char* prefix = nullptr;
	switch (mode)
	{
	case MODE_VCD:
	case MODE_SVCD:
		prefix = "vcdx://";
		break;
	case MODE_DVD:
		prefix = "dvdsimple://";
		break;
	default:
		return entries;
	}
	// Title 1 from each chapter to its end; the server cannot tell how many chapters
	// the disc has, so all twenty are offered.
	for (int chapter = 1; chapter <= chapterCount; ++chapter)
	{
		PLAYLIST entry;
		entry.type = TYPE_FILE;
		entry.name = eString::sprintf("Play Chapter (if it exists) %02d", chapter);
		entry.text = entry.name;
		entry.path = eString(prefix) + cddrive + eString::sprintf("@1:%02d-", chapter);
		entry.pic = "film.png";
		entries.push_back(entry);
	}
	return entries;
}

eString discTitle(int mode, const eString& cddrive)
{
	const char* label = nullptr;
	switch (mode)
	{
	case MODE_VCD:
		label = "(S)VCD";
		break;
	case MODE_SVCD:
		label = "(S)SVCD";
		break;
	case MODE_DVD:
		label = "DVD";
		break;
	default:
		return eString();
	}
	return eString("OXLE: ") + label + " Drive - " + cddrive;
}
