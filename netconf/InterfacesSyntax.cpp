#include "InterfacesSyntax.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <sstream>

#include "UniqueFd.h"

namespace
{
const char* const stanzaKeywords[] = {
	"iface", "auto", "mapping", "source", "source-directory", "rename", "no-auto-down", "no-scripts"};
const char allowPrefix[] = "allow-";
const char commentMark = '#';
const std::size_t readChunkBytes = 4096;
// "iface", the name, the family and the method.
const std::size_t ifaceWordCount = 4;
const std::size_t nameWord = 1;
} // namespace

namespace InterfacesSyntax
{
std::vector<std::string> words(const std::string& line)
{
	std::istringstream in(line);
	std::vector<std::string> out;
	std::string word;
	while (in >> word)
		out.push_back(word);
	return out;
}

bool endsStanza(const std::string& firstWord)
{
	for (const char* keyword : stanzaKeywords)
		if (firstWord == keyword)
			return true;
	return firstWord.compare(0, sizeof allowPrefix - 1, allowPrefix) == 0;
}

bool isComment(const std::string& firstWord)
{
	return !firstWord.empty() && firstWord[0] == commentMark;
}

bool opensStanzaOf(const std::vector<std::string>& words, const std::string& name)
{
	return words.size() >= ifaceWordCount && words[0] == "iface" && words[nameWord] == name;
}

// Plain POSIX reads rather than a file stream: a stream takes a folder or a read error
// for an empty file, and the writer must never mistake those for "nothing there yet".
ReadResult readLines(const std::string& path, std::list<std::string>& lines)
{
	lines.clear();
	UniqueFd file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
	if (!file)
		return errno == ENOENT ? ReadResult::missing : ReadResult::unreadable;
	struct stat info;
	if (fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
		return ReadResult::unreadable;
	std::string contents;
	char chunk[readChunkBytes];
	for (;;)
	{
		ssize_t n = read(file.get(), chunk, sizeof chunk);
		if (n == 0)
			break;
		if (n < 0)
		{
			if (errno == EINTR)
				continue;
			return ReadResult::unreadable;
		}
		contents.append(chunk, static_cast<std::size_t>(n));
	}

	std::size_t start = 0;
	while (start < contents.size())
	{
		std::size_t end = contents.find('\n', start);
		if (end == std::string::npos)
		{
			lines.push_back(contents.substr(start));
			break;
		}
		lines.push_back(contents.substr(start, end - start));
		start = end + 1;
	}
	return ReadResult::ok;
}
} // namespace InterfacesSyntax
