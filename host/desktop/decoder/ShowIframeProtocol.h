#ifndef OXLE_DESKTOP_SHOWIFRAMEPROTOCOL_H
#define OXLE_DESKTOP_SHOWIFRAMEPROTOCOL_H

#include <string>

// What the showiframe tool and the box's listener agree on: the tool sends the still's
// path as one datagram to ROOT/var/run/showiframe.sock and gets one byte back.
namespace ShowIframeProtocol
{
const char replyShown = '1';
const char replyFailed = '0';
const char socketName[] = "/var/run/showiframe.sock";
// Longest path a request may carry.
const int maxRequest = 4096;

// dirname(3) without touching its argument: "a/b" → "a", "a" → ".", "/a" → "/".
inline std::string parentOf(std::string path)
{
	while (path.size() > 1 && path.back() == '/')
		path.pop_back();
	std::string::size_type slash = path.rfind('/');
	if (slash == std::string::npos)
		return ".";
	path.erase(slash);
	while (path.size() > 1 && path.back() == '/')
		path.pop_back();
	return path.empty() ? "/" : path;
}

// The tool lives at ROOT/var/bin/showiframe.
inline std::string rootOfTool(const std::string& toolPath)
{
	return parentOf(parentOf(parentOf(toolPath)));
}

inline std::string socketPath(const std::string& root)
{
	return (root == "/" ? std::string() : root) + socketName;
}
} // namespace ShowIframeProtocol

#endif
