#include "eDebug.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace
{
const char* const warningPrefix = "W: ";
const char* const fatalPrefix = "F: ";

// Builds the whole line first and hands it to stdio in one call, so that lines from
// several threads never interleave.
void writeLine(const char* prefix, const char* fmt, va_list args)
{
	va_list again;
	va_copy(again, args);
	const int needed = vsnprintf(nullptr, 0, fmt, args);
	std::string line(prefix);
	if (needed > 0)
	{
		const size_t start = line.size();
		line.resize(start + size_t(needed));
		vsnprintf(&line[start], size_t(needed) + 1, fmt, again);
	}
	va_end(again);
	while (!line.empty() && line.back() == '\n')
		line.pop_back();
	line += '\n';
	fwrite(line.data(), 1, line.size(), stderr);
}
} // namespace

void eDebug(const char* fmt, ...)
{
	va_list args;
	va_start(args, fmt);
	writeLine("", fmt, args);
	va_end(args);
}

void eWarning(const char* fmt, ...)
{
	va_list args;
	va_start(args, fmt);
	writeLine(warningPrefix, fmt, args);
	va_end(args);
}

void eFatal(const char* fmt, ...)
{
	va_list args;
	va_start(args, fmt);
	writeLine(fatalPrefix, fmt, args);
	va_end(args);
	// The box's GUI does not survive a fatal error either; abort leaves a core to read.
	abort();
}
