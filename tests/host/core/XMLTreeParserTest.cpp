#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "XMLTreeParser.h"

namespace
{
// Names, the attributes "name" and "type", text, and the children by sibling links.
std::string dump(const XMLTreeNode* n)
{
	if (!n)
		return "-";
	std::string out = std::string("(") + n->GetName();
	for (const char* a : {"name", "type"})
		if (const char* v = n->GetAttributeValue(a))
			out += std::string(" ") + a + "=" + v;
	out += " [" + std::string(n->GetData(), n->GetDataSize()) + "]";
	for (const XMLTreeNode* c = n->GetChild(); c; c = c->GetNext())
	{
		EXPECT_EQ(c->GetParent(), n);
		out += dump(c);
	}
	return out + ")";
}

std::string parseWhole(const std::string& doc, const char* encoding = nullptr)
{
	XMLTreeParser p(encoding);
	if (!p.Parse(doc.data(), int(doc.size()), 1))
		return std::string("error: ") + p.ErrorString();
	return dump(p.RootNode());
}

const std::string listDocument = "<?xml version=\"1.0\"?>\n"
								 "<list>\n"
								 " <entry type=\"directory\" name=\"..\" path=\"c:/\"/>\n"
								 " <entry type=\"file\" name=\"a &amp; b.mpg\"><![CDATA[<raw>]]></entry>\n"
								 " <entry name=\"no type\">x<b>y</b>z</entry>\n"
								 "</list>\n";
} // namespace

TEST(XMLTreeParser, TreeInDocumentOrder)
{
	XMLTreeParser p;
	ASSERT_TRUE(p.Parse(listDocument.data(), int(listDocument.size()), 1));
	const XMLTreeNode* root = p.RootNode();
	ASSERT_NE(root, nullptr);
	EXPECT_STREQ(root->GetName(), "list");
	ASSERT_EQ(root->getChildren().size(), 3u);

	const XMLTreeNode* dir = root->GetChild();
	EXPECT_STREQ(dir->GetAttributeValue("path"), "c:/");
	EXPECT_EQ(dir->GetAttributeValue("size"), nullptr);
	EXPECT_EQ(dir->GetAttributeValue(nullptr), nullptr);

	const XMLTreeNode* file = dir->GetNext();
	EXPECT_STREQ(file->GetAttributeValue("name"), "a & b.mpg");
	EXPECT_STREQ(file->GetData(), "<raw>");

	const XMLTreeNode* mixed = file->GetNext();
	EXPECT_EQ(mixed->GetAttributeValue("type"), nullptr);
	EXPECT_STREQ(mixed->GetData(), "xz") << "text belongs to the element it is directly in";
	EXPECT_STREQ(mixed->GetChild()->GetData(), "y");
	EXPECT_EQ(mixed->GetNext(), nullptr);
}

TEST(XMLTreeParser, Latin1BecomesUtf8)
{
	// An attribute value and text in Latin-1, no declaration: the given encoding applies.
	EXPECT_EQ(
		parseWhole("<skin name=\"M\xfcnchen\">\xe4</skin>", "ISO-8859-1"), "(skin name=M\xc3\xbcnchen [\xc3\xa4])");
	// A document that names its encoding is read in it, not in the given one.
	EXPECT_EQ(parseWhole("<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>\xc3\xa4</a>", "ISO-8859-1"), "(a [\xc3\xa4])");
	EXPECT_EQ(parseWhole("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xe4</a>"), "(a [\xc3\xa4])");
	// Without an encoding, Latin-1 bytes are not UTF-8 and are refused.
	EXPECT_EQ(parseWhole("<a>\xe4</a>").rfind("error: ", 0), 0u);
}

// Every split point, of a document with and without a declaration, gives the same tree.
TEST(XMLTreeParser, PiecesSplitAnywhere)
{
	const struct
	{
		std::string doc;
		const char* encoding;
	} docs[] = {
		{listDocument, nullptr},
		{"<?xml version=\"1.0\" encoding=\"UTF-8\"?><a n=\"\xc3\xa4\">\xc3\xbc</a>", "ISO-8859-1"},
		{"<a name=\"\xe4\"><b>\xfc</b></a>", "ISO-8859-1"},
		{"\xEF\xBB\xBF<a>\xc3\xa4</a>", "ISO-8859-1"},
	};
	for (const auto& d : docs)
	{
		const std::string whole = parseWhole(d.doc, d.encoding);
		ASSERT_EQ(whole.rfind("(", 0), 0u) << whole;
		for (size_t split = 0; split <= d.doc.size(); ++split)
		{
			XMLTreeParser p(d.encoding);
			ASSERT_TRUE(p.Parse(d.doc.data(), int(split), 0)) << split << ": " << p.ErrorString();
			ASSERT_TRUE(p.Parse(d.doc.data() + split, int(d.doc.size() - split), 1))
				<< split << ": " << p.ErrorString();
			EXPECT_EQ(dump(p.RootNode()), whole) << "split at " << split;
		}
		XMLTreeParser bytewise(d.encoding);
		for (size_t i = 0; i < d.doc.size(); ++i)
			ASSERT_TRUE(bytewise.Parse(d.doc.data() + i, 1, 0));
		ASSERT_TRUE(bytewise.Parse("", 0, 1));
		EXPECT_EQ(dump(bytewise.RootNode()), whole);
	}
}

TEST(XMLTreeParser, ErrorsGiveTextAndLine)
{
	const struct
	{
		const char* doc;
		int line;
	} cases[] = {
		{"<a>\n<b>\n</a>", 3},
		{"<a>\n\n<b x=1/>\n</a>", 3},
		{"+nok", 1},
		{"<a>\n<b/>\n", 3},
		{"<a/><b/>", 1},
		{"", 1},
	};
	for (const auto& c : cases)
	{
		XMLTreeParser p;
		EXPECT_EQ(p.Parse(c.doc, int(strlen(c.doc)), 1), 0) << c.doc;
		EXPECT_GT(strlen(p.ErrorString()), 0u) << c.doc;
		EXPECT_EQ(p.ErrorLine(), c.line) << c.doc;
		// Once failed, the parser stays failed.
		EXPECT_EQ(p.Parse("<x/>", 4, 1), 0);
	}
}

TEST(XMLTreeParser, DeepNestingIsFreedWithoutRecursion)
{
	const int depth = 200000;
	std::string doc;
	for (int i = 0; i < depth; ++i)
		doc += "<a>";
	for (int i = 0; i < depth; ++i)
		doc += "</a>";
	auto* p = new XMLTreeParser;
	ASSERT_TRUE(p->Parse(doc.data(), int(doc.size()), 1)) << p->ErrorString();
	delete p;
}
