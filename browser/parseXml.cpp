#include "parseXml.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "XMLTreeParser.h"

XMLTreeParser* parseXml(const char* text)
{
	if (!text)
		text = "";
	const size_t length = std::strlen(text);
	XMLTreeParser* parser = new XMLTreeParser(nullptr);
	// The parser takes an int length; a reply too long for it is no list we could show.
	if (length > size_t(INT_MAX) || !parser->Parse(text, int(length), 1))
	{
		std::printf("Error parsing \"VLC Answer\": %s at line %d\n",
			length > size_t(INT_MAX) ? "reply too long" : parser->ErrorString(), parser->ErrorLine());
		delete parser;
		return nullptr;
	}
	if (!parser->RootNode())
	{
		std::printf("Error: No Root Node\n");
		delete parser;
		return nullptr;
	}
	return parser;
}
