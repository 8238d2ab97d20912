#include "PLAYLIST.h"

#include <cstring>

bool sortByName(const PLAYLIST& a, const PLAYLIST& b)
{
	// std::string compares through char_traits<char>, which compares as unsigned
	// char; spelled out so that nobody "fixes" it into a locale-aware compare.
	const size_t common = a.name.size() < b.name.size() ? a.name.size() : b.name.size();
	const int c = std::memcmp(a.name.data(), b.name.data(), common);
	if (c != 0)
		return c < 0;
	return a.name.size() < b.name.size();
}

bool sortByType(const PLAYLIST& a, const PLAYLIST& b)
{
	if (a.type != b.type)
		return a.type < b.type;
	return sortByName(a, b);
}
