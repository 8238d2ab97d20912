#include "eString.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

eString eString::sprintf(const char* fmt, ...)
{
	va_list args;
	va_start(args, fmt);
	va_list again;
	va_copy(again, args);
	const int needed = vsnprintf(nullptr, 0, fmt, args);
	va_end(args);
	eString result;
	if (needed > 0)
	{
		// vsnprintf writes the terminating NUL too; the string owns room for it.
		result.resize(size_type(needed));
		vsnprintf(&result[0], size_type(needed) + 1, fmt, again);
	}
	va_end(again);
	return result;
}

eString eString::mid(size_type pos, size_type len) const
{
	if (pos >= size())
		return eString();
	return eString(substr(pos, len));
}

eString eString::left(size_type len) const
{
	return eString(substr(0, len));
}

eString eString::right(size_type len) const
{
	if (len >= size())
		return *this;
	return eString(substr(size() - len));
}

eString& eString::upper()
{
	for (char& c : *this)
		if (c >= 'a' && c <= 'z')
			c = char(c - 'a' + 'A');
	return *this;
}

eString& eString::strReplace(const char* from, const eString& to)
{
	if (!from || !*from)
		return *this;
	const size_type fromLen = strlen(from);
	size_type pos = 0;
	// Searching on after the inserted text keeps a replacement that contains the
	// searched text from being replaced again.
	while ((pos = find(from, pos, fromLen)) != npos)
	{
		replace(pos, fromLen, to);
		pos += to.size();
	}
	return *this;
}

int getHex(int c)
{
	const int valueOfA = 10;
	if (c >= '0' && c <= '9')
		return c - '0';
	if (c >= 'a' && c <= 'f')
		return c - 'a' + valueOfA;
	if (c >= 'A' && c <= 'F')
		return c - 'A' + valueOfA;
	return -1;
}
