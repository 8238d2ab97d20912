#include "XMLTreeParser.h"

#include <cstring>

#include <expat.h>

namespace
{
const char* const declarationStart = "<?xml";
const char* const declarationEnd = "?>";
// A declaration longer than this is not waited for; the given encoding then applies.
const size_t declarationLimit = 1024;
const char* const byteOrderMarks[] = {"\xEF\xBB\xBF", "\xFE\xFF", "\xFF\xFE"};

bool startsWith(const std::string& s, const char* prefix)
{
	return s.compare(0, strlen(prefix), prefix) == 0;
}

// True when s could still grow into prefix.
bool couldBecome(const std::string& s, const char* prefix)
{
	return s.size() < strlen(prefix) && std::string(prefix).compare(0, s.size(), s) == 0;
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
	XMLTreeNode* current = nullptr;
	bool failed = false;

	~Impl()
	{
		if (parser)
			XML_ParserFree(parser);
	}

	static void XMLCALL startElement(void* user, const XML_Char* name, const XML_Char** attributes)
	{
		Impl* d = static_cast<Impl*>(user);
		XMLTreeNode* node = new XMLTreeNode(d->current, name);
		for (const XML_Char** a = attributes; a && a[0] && a[1]; a += 2)
			node->AddAttribute(a[0], a[1]);
		if (d->current)
			d->current->AddChild(node);
		else if (!d->owner->root)
			d->owner->root = node;
		else
			delete node; // expat rejects a second root before it gets here
		d->current = node;
	}

	static void XMLCALL endElement(void* user, const XML_Char*)
	{
		Impl* d = static_cast<Impl*>(user);
		if (d->current)
			d->current = d->current->GetParent();
	}

	static void XMLCALL characterData(void* user, const XML_Char* text, int len)
	{
		Impl* d = static_cast<Impl*>(user);
		if (d->current)
			d->current->AppendData(text, len);
	}

	// The document's own declaration or byte-order mark wins over the given encoding.
	// Returns false while the held-back bytes cannot tell yet.
	bool decide(bool isFinal, bool& documentNamesEncoding) const
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
		if (end == std::string::npos && !isFinal && head.size() < declarationLimit)
			return false;
		const std::string declaration = head.substr(0, end);
		documentNamesEncoding = declaration.find("encoding") != std::string::npos;
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

XMLTreeParser::~XMLTreeParser()
{
	delete root;
}

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
		d->head.append(buffer ? buffer : "", size_t(len));
		bool documentNamesEncoding = false;
		if (!d->decide(isFinal != 0, documentNamesEncoding))
			return 1;
		if (!d->create(documentNamesEncoding))
		{
			error = "out of memory";
			d->failed = true;
			return 0;
		}
		data = d->head.data();
		size = int(d->head.size());
	}
	const XML_Status status = XML_Parse(d->parser, data, size, isFinal);
	d->head.clear();
	d->head.shrink_to_fit();
	if (status == XML_STATUS_ERROR)
	{
		error = XML_ErrorString(XML_GetErrorCode(d->parser));
		errorLine = int(XML_GetCurrentLineNumber(d->parser));
		d->failed = true;
		return 0;
	}
	return 1;
}
