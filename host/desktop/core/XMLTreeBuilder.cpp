#include "XMLTreeBuilder.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>

namespace
{
// A skin or a short reply fits the first block; a listing of many thousand entries
// doubles its way up to the largest and takes tens of blocks, not tens of thousands of
// allocations. The largest stays below the C library's threshold for mapping fresh pages:
// larger blocks came new from the kernel for every listing, page fault by page fault
// (16 times the faults of the heap's reused memory, a third of the parse's time).
const std::size_t firstBlockBytes = 4096;
const std::size_t largestBlockBytes = 64u << 10;
// Room for a few appends before text moves again.
const std::size_t smallestTextCapacity = 16;

static_assert(std::is_trivially_destructible<XMLTreeNode>::value, "the blocks are freed without visiting the nodes");
} // namespace

XMLTreeBuilder::~XMLTreeBuilder() = default;

void* XMLTreeBuilder::allocate(std::size_t bytes, std::size_t alignment)
{
	std::size_t padding = (alignment - reinterpret_cast<std::uintptr_t>(free) % alignment) % alignment;
	if (padding + bytes > left)
	{
		const std::size_t planned = std::max(nextBlockSize, firstBlockBytes);
		const std::size_t size = std::max(planned, bytes + alignment);
		nextBlockSize = std::min(planned * 2, largestBlockBytes);
		blocks.push_back(Block{std::unique_ptr<char[]>(new char[size]), size});
		free = blocks.back().bytes.get();
		left = size;
		padding = (alignment - reinterpret_cast<std::uintptr_t>(free) % alignment) % alignment;
	}
	void* at = free + padding;
	free += padding + bytes;
	left -= padding + bytes;
	return at;
}

const char* XMLTreeBuilder::copy(const char* text, std::size_t length)
{
	char* at = static_cast<char*>(allocate(length + 1, 1));
	std::memcpy(at, text, length);
	at[length] = '\0';
	return at;
}

const char* XMLTreeBuilder::knownName(const char* wanted, const char* candidate)
{
	if (candidate && std::strcmp(wanted, candidate) == 0)
		return candidate;
	return copy(wanted, std::strlen(wanted));
}

void XMLTreeBuilder::addChild(XMLTreeNode* parent, XMLTreeNode* child)
{
	if (!parent->children)
	{
		childLists.emplace_back(new std::vector<XMLTreeNode*>);
		parent->children = childLists.back().get();
		parent->firstChild = child;
	}
	else
		parent->children->back()->next = child;
	parent->children->push_back(child);
}

void XMLTreeBuilder::open(const char* name, const char* const* attributes)
{
	unsigned int count = 0;
	while (attributes && attributes[2 * count] && attributes[2 * count + 1])
		++count;

	const char* ownName = knownName(name ? name : "", previous ? previous->name : nullptr);
	XMLTreeNode* node = new (allocate(sizeof(XMLTreeNode), alignof(XMLTreeNode))) XMLTreeNode(current, ownName);
	if (count > 0)
	{
		const char** pairs = static_cast<const char**>(allocate(2 * count * sizeof(char*), alignof(char*)));
		for (unsigned int i = 0; i < count; ++i)
		{
			const bool sameSlot = previous && i < previous->attributeCount;
			pairs[2 * i] = knownName(attributes[2 * i], sameSlot ? previous->attributes[2 * i] : nullptr);
			pairs[2 * i + 1] = copy(attributes[2 * i + 1], std::strlen(attributes[2 * i + 1]));
		}
		node->attributes = pairs;
		node->attributeCount = count;
	}
	if (current)
		addChild(current, node);
	else if (!top)
		top = node;
	// A second root is refused by the parser before it gets here; it would stay unlinked.
	current = node;
	previous = node;
}

void XMLTreeBuilder::close()
{
	if (current)
		current = current->parent;
}

void XMLTreeBuilder::text(const char* bytes, int length)
{
	if (!current || length <= 0)
		return;
	const std::size_t size = current->dataSize + std::size_t(length);
	if (size + 1 > current->dataCapacity)
	{
		const std::size_t capacity = std::max({size + 1, 2 * std::size_t(current->dataCapacity), smallestTextCapacity});
		char* moved = static_cast<char*>(allocate(capacity, 1));
		if (current->dataSize)
			std::memcpy(moved, current->data, current->dataSize);
		current->data = moved;
		current->dataCapacity = (unsigned int)capacity;
	}
	std::memcpy(current->data + current->dataSize, bytes, std::size_t(length));
	current->dataSize = (unsigned int)size;
	current->data[size] = '\0';
}
