#ifndef OXLE_HOST_XMLTREEPARSER_H
#define OXLE_HOST_XMLTREEPARSER_H

#include <memory>
#include <string>
#include <vector>

class XMLTreeBuilder;

// One element of a parsed document. Names, text and attribute values are UTF-8. Nodes
// and their strings belong to the parser that made them and live as long as it does.
class XMLTreeNode
{
public:
	// Trivial: the parser frees its blocks without visiting the nodes.
	~XMLTreeNode() = default;
	XMLTreeNode(const XMLTreeNode&) = delete;
	XMLTreeNode& operator=(const XMLTreeNode&) = delete;

	const char* GetType() const { return name; }
	const char* GetName() const { return name; }
	// Character data directly inside this element.
	const char* GetData() const { return data ? data : ""; }
	unsigned int GetDataSize() const { return dataSize; }
	// Null when the attribute is absent.
	const char* GetAttributeValue(const char* attribute) const;
	XMLTreeNode* GetParent() const { return parent; }
	// First child, and the next sibling: the children in document order.
	XMLTreeNode* GetChild() const { return firstChild; }
	XMLTreeNode* GetNext() const { return next; }
	const std::vector<XMLTreeNode*>& getChildren() const;

private:
	friend class XMLTreeBuilder;
	XMLTreeNode(XMLTreeNode* parent, const char* name);

	XMLTreeNode* parent;
	XMLTreeNode* next = nullptr;
	XMLTreeNode* firstChild = nullptr;
	const char* name;
	// Name and value, name and value, ...
	const char* const* attributes = nullptr;
	unsigned int attributeCount = 0;
	char* data = nullptr;
	unsigned int dataSize = 0;
	unsigned int dataCapacity = 0;
	// Null for an element without children; the list itself belongs to the parser too.
	std::vector<XMLTreeNode*>* children = nullptr;
};

// Parses a document whole or in pieces. encoding names the input's encoding when the
// document does not ("ISO-8859-1" for the box's Latin-1 files); output is UTF-8.
class XMLTreeParser
{
public:
	explicit XMLTreeParser(const char* encoding = nullptr);
	~XMLTreeParser();
	XMLTreeParser(const XMLTreeParser&) = delete;
	XMLTreeParser& operator=(const XMLTreeParser&) = delete;

	// Returns non-zero on success; isFinal marks the last piece.
	int Parse(const char* buffer, int len, int isFinal);
	XMLTreeNode* RootNode() const { return root; }
	const char* ErrorString() const { return error.c_str(); }
	int ErrorLine() const { return errorLine; }

	struct Impl;

private:
	std::unique_ptr<Impl> d;
	XMLTreeNode* root = nullptr;
	std::string error;
	int errorLine = 0;
};

#endif
