#ifndef OXLE_HOST_DESKTOP_XMLTREEBUILDER_H
#define OXLE_HOST_DESKTOP_XMLTREEBUILDER_H

#include <cstddef>
#include <memory>
#include <vector>

#include "XMLTreeParser.h"

// Builds one document's tree from the parser's events. Nodes, names, values and text
// live in a few large blocks that the builder owns and frees together, so that a
// listing of many thousand entries costs a handful of allocations instead of several
// per entry. One parser thread only.
class XMLTreeBuilder
{
public:
	XMLTreeBuilder() = default;
	~XMLTreeBuilder();
	XMLTreeBuilder(const XMLTreeBuilder&) = delete;
	XMLTreeBuilder& operator=(const XMLTreeBuilder&) = delete;

	// A new element inside the open one; attributes are name, value, ..., null.
	void open(const char* name, const char* const* attributes);
	void close();
	void text(const char* bytes, int length);

	XMLTreeNode* root() const { return top; }

private:
	struct Block
	{
		std::unique_ptr<char[]> bytes;
		std::size_t size;
	};

	void* allocate(std::size_t bytes, std::size_t alignment);
	const char* copy(const char* text, std::size_t length);
	// The sibling before shares most names: the element's own and its attributes'.
	const char* knownName(const char* wanted, const char* candidate);
	void addChild(XMLTreeNode* parent, XMLTreeNode* child);

	std::vector<Block> blocks;
	char* free = nullptr;
	std::size_t left = 0;
	std::size_t nextBlockSize = 0;
	XMLTreeNode* top = nullptr;
	XMLTreeNode* current = nullptr;
	// The last element made, whose names the next sibling most likely repeats.
	XMLTreeNode* previous = nullptr;
	// Every child list handed out; the lists hold pointers only.
	std::vector<std::unique_ptr<std::vector<XMLTreeNode*>>> childLists;
};

#endif
