#include "XMLTreeParser.h"

#include <cstring>
#include <string_view>

#include <expat.h>

#include "XMLTreeBuilder.h"

namespace
{
const char* const declarationStart = "<?xml";
const char* const declarationEnd = "?>";
// A declaration longer than this is not waited for; the given encoding then applies.
const size_t declarationLimit = 1024;
const char* const byteOrderMarks[] = {"\xEF\xBB\xBF", "\xFE\xFF", "\xFF\xFE"};

bool startsWith(std::string_view s, std::string_view prefix)
{
	return s.substr(0, prefix.size()) == prefix;
}

// True when s could still grow into prefix.
bool couldBecome(std::string_view s, std::string_view prefix)
{
	return s.size() < prefix.size() && prefix.substr(0, s.size()) == s;
}
} // namespace

struct XMLTreeParser::Impl
{
	XMLTreeParser* owner = nullptr;
	XML_Parser parser = nullptr;
	std::string encoding;
	bool hasEncoding = false;
	// Bytes held back until it is known whether the document names its own encoding.
	std::string head;
	XMLTreeBuilder tree;
	bool failed = false;

	~Impl()
	{
		if (parser)
			XML_ParserFree(parser);
	}

	static void XMLCALL startElement(void* user, const XML_Char* name, const XML_Char** attributes)
	{
		Impl* d = static_cast<Impl*>(user);
		d->tree.open(name, attributes);
		d->owner->root = d->tree.root();
	}

	static void XMLCALL endElement(void* user, const XML_Char*) { static_cast<Impl*>(user)->tree.close(); }

	static void XMLCALL characterData(void* user, const XML_Char* text, int len)
	{
		static_cast<Impl*>(user)->tree.text(text, len);
	}

	// The document's own declaration or byte-order mark wins over the given encoding.
	// Returns false while the bytes seen so far cannot tell yet.
	static bool decide(std::string_view head, bool isFinal, bool& documentNamesEncoding)
	{
		documentNamesEncoding = false;
		for (const char* bom : byteOrderMarks)
		{
			if (startsWith(head, bom))
			{
				documentNamesEncoding = true;
				return true;
			}
			if (!isFinal && couldBecome(head, bom))
				return false;
		}
		if (!isFinal && couldBecome(head, declarationStart))
			return false;
		if (!startsWith(head, declarationStart))
			return true;
		const size_t end = head.find(declarationEnd);
		if (end == std::string_view::npos && !isFinal && head.size() < declarationLimit)
			return false;
		documentNamesEncoding = head.substr(0, end).find("encoding") != std::string_view::npos;
		return true;
	}

	bool create(bool documentNamesEncoding)
	{
		const bool useGiven = hasEncoding && !documentNamesEncoding;
		parser = XML_ParserCreate(useGiven ? encoding.c_str() : nullptr);
		if (!parser)
			return false;
		XML_SetUserData(parser, this);
		XML_SetElementHandler(parser, startElement, endElement);
		XML_SetCharacterDataHandler(parser, characterData);
		return true;
	}
};

XMLTreeParser::XMLTreeParser(const char* encoding) : d(new Impl)
{
	d->owner = this;
	if (encoding)
	{
		d->encoding = encoding;
		d->hasEncoding = true;
	}
}

XMLTreeParser::~XMLTreeParser() = default;

int XMLTreeParser::Parse(const char* buffer, int len, int isFinal)
{
	if (d->failed)
		return 0;
	if (len < 0 || (!buffer && len > 0))
	{
		error = "invalid argument";
		d->failed = true;
		return 0;
	}
	const char* data = buffer;
	int size = len;
	if (!d->parser)
	{
		// A whole document is parsed where it lies; only a first piece too short to
		// tell the encoding is held back.
		if (!d->head.empty())
		{
			d->head.append(buffer ? buffer : "", size_t(len));
			data = d->head.data();
			size = int(d->head.size());
		}
		bool documentNamesEncoding = false;
		if (!Impl::decide(std::string_view(data ? data : "", size_t(size)), isFinal != 0, documentNamesEncoding))
		{
			if (d->head.empty())
				d->head.assign(buffer ? buffer : "", size_t(len));
			return 1;
		}
		if (!d->create(documentNamesEncoding))
		{
			error = "out of memory";
			d->failed = true;
			return 0;
		}
	}
	const XML_Status status = XML_Parse(d->parser, data, size, isFinal);
	if (!d->head.empty())
	{
		d->head.clear();
		d->head.shrink_to_fit();
	}
	if (status == XML_STATUS_ERROR)
	{
		error = XML_ErrorString(XML_GetErrorCode(d->parser));
		errorLine = int(XML_GetCurrentLineNumber(d->parser));
		d->failed = true;
		return 0;
	}
	return 1;
}
