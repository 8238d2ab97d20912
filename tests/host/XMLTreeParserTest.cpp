// The host's XML tree against expat's own events on the same bytes: the tree must say
// what the document says, whole or in pieces, and refuse what expat refuses.
#include <gtest/gtest.h>

#include <expat.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "XMLTreeParser.h"

namespace
{
// One line per element, indented by depth: name, attributes in document order, text.
std::string describe(const XMLTreeNode* node, int depth = 0);

std::string describeChildren(const XMLTreeNode* node, int depth)
{
	std::string out;
	const std::vector<XMLTreeNode*>& children = node->getChildren();
	size_t index = 0;
	for (const XMLTreeNode* child = node->GetChild(); child; child = child->GetNext(), ++index)
	{
		// Both ways to the children must agree, and every child must know its parent.
		if (index >= children.size() || children[index] != child || child->GetParent() != node)
			return out + "<children disagree>";
		out += describe(child, depth + 1);
	}
	return index == children.size() ? out : out + "<children disagree>";
}

struct Reference
{
	std::string text;
	int depth = 0;
};

std::string indented(int depth, const std::string& name)
{
	return std::string(size_t(depth) * 2, ' ') + name;
}

std::string describe(const XMLTreeNode* node, int depth)
{
	return indented(depth, node->GetName()) + "\n" + describeChildren(node, depth);
}

// What the tree should hold, straight from expat. Attribute values are checked
// separately through GetAttributeValue, by name, as the plugin reads them.
void XMLCALL referenceStart(void* user, const XML_Char* name, const XML_Char**)
{
	Reference* r = static_cast<Reference*>(user);
	r->text += indented(r->depth++, name) + "\n";
}

void XMLCALL referenceEnd(void* user, const XML_Char*)
{
	--static_cast<Reference*>(user)->depth;
}

bool expatReads(const std::string& document, const char* encoding, std::string& tree)
{
	Reference r;
	XML_Parser parser = XML_ParserCreate(encoding);
	XML_SetUserData(parser, &r);
	XML_SetElementHandler(parser, referenceStart, referenceEnd);
	const bool ok = XML_Parse(parser, document.data(), int(document.size()), 1) == XML_STATUS_OK;
	XML_ParserFree(parser);
	tree = r.text;
	return ok;
}

struct Attribute
{
	const char* element; // path of first children: "" the root, "1" its second child, "0.2" ...
	const char* name;
	const char* value; // null: absent
};

const XMLTreeNode* find(const XMLTreeNode* node, const std::string& path)
{
	size_t at = 0;
	while (node && at < path.size())
	{
		size_t end = path.find('.', at);
		if (end == std::string::npos)
			end = path.size();
		int index = std::stoi(path.substr(at, end - at));
		node = node->GetChild();
		while (node && index-- > 0)
			node = node->GetNext();
		at = end + 1;
	}
	return node;
}

// A text longer than the largest block the tree takes at once.
const std::string longText(3u << 20, 'x');

struct TreeCase
{
	const char* what;
	std::string document;
	const char* encoding;
	bool ok;
	std::vector<Attribute> attributes;
	const char* rootData; // null: not checked
};

const std::vector<TreeCase>& cases()
{
	static const std::vector<TreeCase> table = {
		{"empty root", "<list/>", nullptr, true, {{"", "type", nullptr}}, ""},
		{"siblings name their attributes in another order and number",
			"<list><e a=\"1\" b=\"2\"/><e b=\"3\" a=\"4\"/><e a=\"5\"/><f a=\"6\" b=\"7\" c=\"8\"/></list>", nullptr,
			true,
			{{"0", "a", "1"}, {"0", "b", "2"}, {"1", "a", "4"}, {"1", "b", "3"}, {"2", "a", "5"}, {"2", "b", nullptr},
				{"3", "c", "8"}, {"3", "a", "6"}},
			""},
		{"quotes, entities and character references in values",
			"<list><e name='say \"hi\"' path=\"it&apos;s &amp; &lt;b&gt; &#228;\"/></list>", nullptr, true,
			{{"0", "name", "say \"hi\""}, {"0", "path", "it's & <b> \xc3\xa4"}}, ""},
		{"text in pieces around children and entities", "<r>a&amp;b<c/>\nc<![CDATA[<d>]]>&#x41;</r>", nullptr, true, {},
			"a&b\nc<d>A"},
		{"nesting", "<r><a><b><c x=\"1\"/></b></a><a/></r>", nullptr, true, {{"0.0.0", "x", "1"}}, ""},
		{"declared Latin-1", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r n=\"M\xfcller\">\xe4</r>", nullptr,
			true, {{"", "n", "M\xc3\xbcller"}}, "\xc3\xa4"},
		{"given Latin-1", "<r n=\"\xe9\"/>", "ISO-8859-1", true, {{"", "n", "\xc3\xa9"}}, ""},
		{"a text larger than any block", "<r>" + longText + "</r>", nullptr, true, {}, longText.c_str()},
		{"malformed: crossed tags", "<list><a></list></a>", nullptr, false, {}, nullptr},
		{"truncated inside a tag", "<list><entry name=\"a", nullptr, false, {}, nullptr},
		{"undefined entity", "<list><e n=\"&nbsp;\"/></list>", nullptr, false, {}, nullptr},
		{"no element at all", "", nullptr, false, {}, nullptr},
	};
	return table;
}

void check(const TreeCase& c, XMLTreeParser& parser, int result, const std::string& how)
{
	SCOPED_TRACE(std::string(c.what) + ", " + how);
	std::string expected;
	ASSERT_EQ(expatReads(c.document, c.encoding, expected), c.ok) << "the table is wrong";
	EXPECT_EQ(result != 0, c.ok) << parser.ErrorString();
	if (!c.ok)
	{
		EXPECT_STRNE(parser.ErrorString(), "");
		EXPECT_GT(parser.ErrorLine(), 0);
		return;
	}
	ASSERT_NE(parser.RootNode(), nullptr);
	EXPECT_EQ(parser.RootNode()->GetParent(), nullptr);
	EXPECT_EQ(describe(parser.RootNode()), expected);
	for (const Attribute& a : c.attributes)
	{
		const XMLTreeNode* node = find(parser.RootNode(), a.element);
		ASSERT_NE(node, nullptr) << a.element;
		const char* value = node->GetAttributeValue(a.name);
		if (!a.value)
			EXPECT_EQ(value, nullptr) << a.element << " " << a.name;
		else
			EXPECT_STREQ(value, a.value) << a.element << " " << a.name;
	}
	if (c.rootData)
	{
		EXPECT_EQ(parser.RootNode()->GetDataSize(), std::strlen(c.rootData));
		EXPECT_STREQ(parser.RootNode()->GetData(), c.rootData);
	}
}
} // namespace

TEST(XMLTreeParser, TreeIsWhatExpatReadsWholeOrInPieces)
{
	for (const TreeCase& c : cases())
	{
		XMLTreeParser whole(c.encoding);
		check(c, whole, whole.Parse(c.document.data(), int(c.document.size()), 1), "whole");

		// Pieces of one and of seven bytes, then an empty final piece: the encoding
		// decision waits for the declaration, text and values join across pieces.
		for (size_t piece : {size_t(1), size_t(7)})
		{
			if (c.document.size() > 200000)
				piece = 4093;
			XMLTreeParser pieces(c.encoding);
			int result = 1;
			for (size_t at = 0; result && at < c.document.size(); at += piece)
				result = pieces.Parse(c.document.data() + at, int(std::min(piece, c.document.size() - at)), 0);
			if (result)
				result = pieces.Parse("", 0, 1);
			check(c, pieces, result, "pieces of " + std::to_string(piece));
		}
	}
}
