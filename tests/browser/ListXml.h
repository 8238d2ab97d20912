#ifndef OXLE_TESTS_BROWSER_LISTXML_H
#define OXLE_TESTS_BROWSER_LISTXML_H

// List documents as the server writes them.
#include <string>

inline std::string listDocument(const std::string& children)
{
	return "<?xml version=\"1.0\"?>\n<list>" + children + "</list>";
}
inline std::string dirElement(const std::string& name, const std::string& path)
{
	return "<entry type=\"directory\" name=\"" + name + "\" path=\"" + path + "\"/>";
}
inline std::string fileElement(const std::string& name, const std::string& path, const std::string& pic = "film.png",
	const std::string& size = "0")
{
	return "<entry type=\"file\" name=\"" + name + "\" path=\"" + path + "\" pic=\"" + pic + "\" size=\"" + size +
		"\" date=\"01.01.2024\"/>";
}

#endif
