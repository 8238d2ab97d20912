#include "InterfacesReader.h"

#include <list>
#include <vector>

#include "InterfacesSyntax.h"
#include "boxPath.h"

namespace
{
const char interfacesFile[] = "/etc/network/interfaces";
const char inetFamily[] = "inet";
const char staticMethod[] = "static";
const char* const inetAttributeNames[] = {"address", "netmask", "broadcast", "gateway"};

const std::size_t familyWord = 2, methodWord = 3;
const std::size_t valueWord = 1;
} // namespace

bool read_interface(std::string path, std::string name, bool& automatic, std::string& family, std::string& method,
	std::map<std::string, std::string>& attributes)
{
	automatic = false;
	attributes.clear();
	std::list<std::string> lines;
	if (InterfacesSyntax::readLines(path, lines) != InterfacesSyntax::ReadResult::ok)
		return false;

	bool inStanza = false;
	for (const std::string& line : lines)
	{
		const std::vector<std::string> words = InterfacesSyntax::words(line);
		if (words.empty())
			continue;
		const std::string& first = words[0];
		if (inStanza)
		{
			if (InterfacesSyntax::isComment(first))
				continue;
			if (!InterfacesSyntax::endsStanza(first))
			{
				if (words.size() > valueWord)
					attributes[first] = words[valueWord];
				continue;
			}
			// The line that ends the stanza is read again as a line outside one.
			inStanza = false;
		}
		if (first == "auto")
		{
			for (std::size_t i = 1; i < words.size(); ++i)
				if (words[i] == name)
				{
					automatic = true;
					break;
				}
		}
		else if (InterfacesSyntax::opensStanzaOf(words, name))
		{
			family = words[familyWord];
			method = words[methodWord];
			inStanza = true;
		}
	}
	return true;
}

bool getInetAttributes(std::string name, bool& automatic, std::string& address, std::string& netmask,
	std::string& broadcast, std::string& gateway)
{
	std::string family, method;
	std::map<std::string, std::string> attributes;
	if (!read_interface(boxPath(interfacesFile), name, automatic, family, method, attributes))
		return false;
	if (family != inetFamily || method != staticMethod)
		return false;
	std::string* outputs[] = {&address, &netmask, &broadcast, &gateway};
	for (std::size_t i = 0; i < sizeof outputs / sizeof outputs[0]; ++i)
	{
		auto found = attributes.find(inetAttributeNames[i]);
		*outputs[i] = found == attributes.end() ? std::string() : found->second;
	}
	return true;
}
