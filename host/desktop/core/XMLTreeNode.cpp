#include "XMLTreeParser.h"

#include <cstring>

XMLTreeNode::XMLTreeNode(XMLTreeNode* parentNode, const char* tag) : parent(parentNode), name(tag ? tag : "")
{
}

XMLTreeNode::~XMLTreeNode()
{
	// Iterative, so that a deeply nested document from the network cannot exhaust the
	// stack while it is freed.
	std::vector<XMLTreeNode*> pending(std::move(children));
	children.clear();
	while (!pending.empty())
	{
		XMLTreeNode* node = pending.back();
		pending.pop_back();
		pending.insert(pending.end(), node->children.begin(), node->children.end());
		node->children.clear();
		delete node;
	}
}

const char* XMLTreeNode::GetAttributeValue(const char* attribute) const
{
	if (!attribute)
		return nullptr;
	for (const auto& [key, value] : attributes)
		if (key == attribute)
			return value.c_str();
	return nullptr;
}

void XMLTreeNode::AddAttribute(const char* attributeName, const char* value)
{
	attributes.emplace_back(attributeName ? attributeName : "", value ? value : "");
}

void XMLTreeNode::AddChild(XMLTreeNode* child)
{
	if (!child)
		return;
	if (!children.empty())
		children.back()->next = child;
	child->parent = this;
	children.push_back(child);
}
