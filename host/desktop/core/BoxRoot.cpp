#include "BoxRoot.h"

#include "boxPath.h"

namespace
{
// Set once at start-up, before any other thread runs; read-only afterwards.
std::string& boxRoot()
{
	static std::string root;
	return root;
}
} // namespace

void setBoxRoot(const std::string& root)
{
	std::string normalized = root;
	// A trailing slash would double the one every box path starts with; "/" alone is
	// the real root.
	while (!normalized.empty() && normalized.back() == '/')
		normalized.pop_back();
	boxRoot() = normalized;
}

const std::string& getBoxRoot()
{
	return boxRoot();
}

eString boxPath(const char* absolutePath)
{
	if (!absolutePath)
		return eString();
	if (absolutePath[0] != '/' || boxRoot().empty())
		return eString(absolutePath);
	return eString(boxRoot() + absolutePath);
}
