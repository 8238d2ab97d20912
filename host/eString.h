#ifndef OXLE_HOST_ESTRING_H
#define OXLE_HOST_ESTRING_H

#include <string>

// The host's string type: a byte string with the handful of helpers the GUI code
// leans on. Bytes are bytes: upper() touches ASCII only, positions count bytes.
class eString : public std::string
{
public:
	eString() = default;
	eString(const char* s) : std::string(s ? s : "") {}
	eString(const char* s, size_type n) : std::string(s, n) {}
	eString(const std::string& s) : std::string(s) {}
	eString(std::string&& s) : std::string(std::move(s)) {}
	eString(size_type n, char c) : std::string(n, c) {}

	// printf into a new string; never truncates.
	static eString sprintf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

	// Up to len bytes from pos; out-of-range positions give an empty string.
	eString mid(size_type pos, size_type len = npos) const;
	eString left(size_type len) const;
	// The last len bytes, or the whole string when it is shorter.
	eString right(size_type len) const;
	// ASCII upper case, in place; returns *this for chaining.
	eString& upper();
	// Replaces every occurrence of from by to; an empty from changes nothing.
	eString& strReplace(const char* from, const eString& to);
};

// Value of one hexadecimal digit, -1 when c is not one.
int getHex(int c);

#endif
