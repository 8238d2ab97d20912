#include "XMLTreeParser.h"

#include <cstring>

XMLTreeNode::XMLTreeNode(XMLTreeNode* parentNode, const char* tag) : parent(parentNode), name(tag)
{
}

const char* XMLTreeNode::GetAttributeValue(const char* attribute) const
{
	if (!attribute)
		return nullptr;
	for (unsigned int i = 0; i < attributeCount; ++i)
		if (std::strcmp(attributes[2 * i], attribute) == 0)
			return attributes[2 * i + 1];
	return nullptr;
}

const std::vector<XMLTreeNode*>& XMLTreeNode::getChildren() const
{
	static const std::vector<XMLTreeNode*> none;
	return children ? *children : none;
}
