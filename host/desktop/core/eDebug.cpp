#include "eDebug.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include "eDebugLog.h"

namespace
{
const char* const warningPrefix = "W: ";
const char* const fatalPrefix = "F: ";

struct Sink
{
	std::mutex lock; // guards log and verbose
	FILE* log = nullptr;
	bool verbose = false;
};

// Never destroyed: a streaming thread may still write a line while the process exits.
Sink& sink()
{
	static Sink* s = new Sink;
	return *s;
}

// Builds the whole line first and hands it to stdio in one call, so that lines from
// several threads never interleave.
void writeLine(bool debugOnly, const char* prefix, const char* fmt, va_list args)
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
	Sink& s = sink();
	std::lock_guard<std::mutex> hold(s.lock);
	if (s.log)
	{
		fwrite(line.data(), 1, line.size(), s.log);
		// A box that crashes or is killed still leaves every line before it.
		fflush(s.log);
	}
	if (!debugOnly || s.verbose || !s.log)
		fwrite(line.data(), 1, line.size(), stderr);
}
} // namespace

namespace eDebugLog
{
bool open(const std::string& path)
{
	FILE* f = fopen(path.c_str(), "w");
	Sink& s = sink();
	std::lock_guard<std::mutex> hold(s.lock);
	if (s.log)
		fclose(s.log);
	s.log = f;
	return f != nullptr;
}

void setVerbose(bool verbose)
{
	Sink& s = sink();
	std::lock_guard<std::mutex> hold(s.lock);
	s.verbose = verbose;
}
} // namespace eDebugLog

void eDebug(const char* fmt, ...)
{
	va_list args;
	va_start(args, fmt);
	writeLine(true, "", fmt, args);
	va_end(args);
}

void eWarning(const char* fmt, ...)
{
	va_list args;
	va_start(args, fmt);
	writeLine(false, warningPrefix, fmt, args);
	va_end(args);
}

void eFatal(const char* fmt, ...)
{
	va_list args;
	va_start(args, fmt);
	writeLine(false, fatalPrefix, fmt, args);
	va_end(args);
	// The box's GUI does not survive a fatal error either; abort leaves a core to read.
	abort();
}
