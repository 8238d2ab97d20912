#ifndef OXLE_HOST_XMLTREEPARSER_H
#define OXLE_HOST_XMLTREEPARSER_H

#include <memory>
#include <string>
#include <utility>
#include <vector>

// One element of a parsed document. Names, text and attribute values are UTF-8.
class XMLTreeNode
{
public:
	XMLTreeNode(XMLTreeNode* parent, const char* name);
	~XMLTreeNode();
	XMLTreeNode(const XMLTreeNode&) = delete;
	XMLTreeNode& operator=(const XMLTreeNode&) = delete;

	const char* GetType() const { return name.c_str(); }
	const char* GetName() const { return name.c_str(); }
	// Character data directly inside this element.
	const char* GetData() const { return data.c_str(); }
	unsigned int GetDataSize() const { return (unsigned int)data.size(); }
	// Null when the attribute is absent.
	const char* GetAttributeValue(const char* attribute) const;
	XMLTreeNode* GetParent() const { return parent; }
	// First child, and the next sibling: the children in document order.
	XMLTreeNode* GetChild() const { return children.empty() ? nullptr : children.front(); }
	XMLTreeNode* GetNext() const { return next; }
	const std::vector<XMLTreeNode*>& getChildren() const { return children; }

	void AddAttribute(const char* name, const char* value);
	void AppendData(const char* text, int len) { data.append(text, size_t(len)); }
	void AddChild(XMLTreeNode* child);

private:
	XMLTreeNode* parent;
	XMLTreeNode* next = nullptr;
	std::string name, data;
	std::vector<std::pair<std::string, std::string>> attributes;
	std::vector<XMLTreeNode*> children;
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
