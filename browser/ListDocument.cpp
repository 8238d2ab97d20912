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

eString upperCase(eString s)
{
	s.upper();
	return s;
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
			const eString path = attribute(node, "path");
			const eString name = attribute(node, "name");
			PLAYLIST entry;
			entry.path = path;
			if (name == parentName)
			{
				entry.type = TYPE_PARENT;
				lastPath = path.size() < parentSuffixLength ? path : path.left(path.size() - parentSuffixLength);
			}
			else if (name == floppyName || upperCase(name) == cddrive)
				continue;
			else
			{
				entry.type = TYPE_DIRECTORY;
				entry.name = name;
				entry.text = name;
				lastPath = path;
			}
			entries.push_back(entry);
		}
		else if (!std::strcmp(type, "file"))
		{
			PLAYLIST entry;
			entry.type = TYPE_FILE;
			entry.name = attribute(node, "name");
			entry.text = entry.name;
			entry.path = doubleBackslashes(attribute(node, "path"));
			entry.sizeMB = sizeInMB(node->GetAttributeValue("size"));
			entry.pic = attribute(node, "pic");
			entry.date = attribute(node, "date");
			entries.push_back(entry);
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
