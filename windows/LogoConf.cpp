#include "LogoConf.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "XMLTreeParser.h"
#include "boxPath.h"
#include "eDebug.h"
#include "oxleGlobals.h"

bool formatted_skin = false;

namespace
{
// The table is a few hundred bytes; small pieces keep the stack buffer small too.
const size_t pieceBytes = 1024;
const char tableEncoding[] = "ISO-8859-1";

bool logoNodeNamed(const XMLTreeNode* node, const char* name)
{
	return std::strcmp(node->GetType(), name) == 0;
}

// A missing number counts as 0, as atoi reads an empty text.
int number(const XMLTreeNode* node, const char* attribute)
{
	const char* value = node->GetAttributeValue(attribute);
	return value ? std::atoi(value) : 0;
}

struct FileCloser
{
	void operator()(FILE* f) const { std::fclose(f); }
};

} // namespace

int readLogoConfFile(const char* file, const eString& skin, LogoPlace& place)
{
	std::unique_ptr<FILE, FileCloser> in(std::fopen(file, "rt"));
	if (!in)
		return -1;
	XMLTreeParser parser(tableEncoding);
	char piece[pieceBytes];
	bool last = false;
	while (!last)
	{
		const size_t got = std::fread(piece, 1, sizeof piece, in.get());
		last = got < sizeof piece;
		if (!parser.Parse(piece, int(got), last))
		{
			eDebug("picon table %s: %s at line %d", file, parser.ErrorString(), parser.ErrorLine());
			return -1;
		}
	}
	in.reset();
	const XMLTreeNode* root = parser.RootNode();
	if (!root)
		return -1;

	LogoPlace found = place;
	for (const XMLTreeNode* section = root->GetChild(); section; section = section->GetNext())
	{
		if (logoNodeNamed(section, "values"))
		{
			for (const XMLTreeNode* n = section->GetChild(); n; n = n->GetNext())
				if (logoNodeNamed(n, "framebuffer") && !found.skinSpecific)
				{
					found.x = number(n, "posx");
					found.y = number(n, "posy");
				}
		}
		else if (logoNodeNamed(section, "pskins"))
		{
			for (const XMLTreeNode* n = section->GetChild(); n; n = n->GetNext())
			{
				const char* name = n->GetAttributeValue("name");
				if (logoNodeNamed(n, "skin") && name && skin == name)
				{
					found.x = number(n, "posx");
					found.y = number(n, "posy");
					found.skinSpecific = true;
				}
			}
		}
	}
	place = found;
	return 0;
}

int readPiconTable()
{
	LogoPlace place;
	place.x = posx;
	place.y = posy;
	place.skinSpecific = formatted_skin;
	const int result = readLogoConfFile(boxPath("/var/tuxbox/config/picon.xml").c_str(), active_skin, place);
	posx = place.x;
	posy = place.y;
	formatted_skin = place.skinSpecific;
	return result;
}
