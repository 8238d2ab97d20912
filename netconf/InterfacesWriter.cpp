#include "InterfacesWriter.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <vector>

#include "FdIo.h"
#include "InterfacesSyntax.h"
#include "UniqueFd.h"
#include "boxPath.h"
#include "eDebug.h"

namespace
{
const char writtenInterfacesFile[] = "/etc/network/interfaces";
const char writtenInetFamily[] = "inet";
const char autoKeyword[] = "auto";
// The temporary file's name is the file's own with this mark and a unique tail, so
// that one left by a writer killed before its rename is recognised and removed
// without touching the folder's other files (such as "interfaces.backup").
const char tempMark[] = ".oxle-new.";
const char tempTail[] = "XXXXXX";
// The settings of the address itself: a rewrite of the stanza replaces them. Every
// other line of the old body (name servers, up and down hooks, mtu, hardware address)
// belongs to whoever wrote it and stays. The host name is the line the DHCP entry
// point writes itself.
const char* const ownedAttributes[] = {"address", "netmask", "broadcast", "gateway", "network", "hostname"};
// A configuration file the editor creates is readable by everyone, as the box's own.
const mode_t newFileMode = 0644;
const mode_t permissionBits = 07777;
const std::size_t hostNameBytes = 128;

std::string ifaceLine(const std::string& name, const std::string& family, const std::string& method)
{
	return "iface " + name + " " + family + " " + method;
}

std::string autoLine(const std::string& name)
{
	return std::string(autoKeyword) + " " + name;
}

bool isWord(const std::string& text)
{
	if (text.empty())
		return false;
	for (char c : text)
		if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' || c == '\0')
			return false;
	return true;
}

// A line break in a value would smuggle extra lines (such as "up" commands, which the
// box runs as root) into the file.
bool isValue(const std::string& text)
{
	return text.find_first_of(std::string("\n\r\0", 3)) == std::string::npos;
}

// The directory entry that must be replaced: the target of a link, so that the link
// stays a link.
bool resolveTarget(const std::string& path, std::string& target)
{
	struct stat info;
	if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
	{
		target = path;
		return true;
	}
	char resolved[PATH_MAX];
	if (!realpath(path.c_str(), resolved))
		return false;
	target = resolved;
	return true;
}

std::string directoryOf(const std::string& path)
{
	std::string::size_type slash = path.rfind('/');
	return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

void syncDirectoryOf(const std::string& path)
{
	UniqueFd dir(open(directoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
	if (dir)
		fsync(dir.get());
}

bool isTempOf(const std::string& base, const char* entry)
{
	const std::string prefix = base + tempMark;
	const std::size_t tailBytes = sizeof tempTail - 1;
	if (std::strncmp(entry, prefix.c_str(), prefix.size()) != 0 || std::strlen(entry) != prefix.size() + tailBytes)
		return false;
	for (const char* c = entry + prefix.size(); *c; ++c)
		if (!std::isalnum(static_cast<unsigned char>(*c)))
			return false;
	return true;
}

// A writer killed between creating its temporary file and renaming it leaves the file
// behind; without this every such kill would leave one more.
void removeStaleTemps(const std::string& target)
{
	const std::string directory = directoryOf(target);
	const std::string::size_type slash = target.rfind('/');
	const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
	DIR* dir = opendir(directory.c_str());
	if (!dir)
		return;
	while (const dirent* entry = readdir(dir))
	{
		const std::string stale = directory + "/" + entry->d_name;
		if (isTempOf(base, entry->d_name) && unlink(stale.c_str()) == 0)
			eDebug("removed %s, left by an interrupted rewrite", stale.c_str());
	}
	closedir(dir);
}

// Whether lines that open nothing follow (blank lines and comments aside). An "auto"
// line ends the stanza before it; were it dropped, such lines would join that stanza
// (an "up" command the box ignored would then run), so it stays, naming nothing.
bool beforeLooseLines(const std::list<std::string>& lines, std::list<std::string>::const_iterator it)
{
	for (; it != lines.end(); ++it)
	{
		const std::vector<std::string> words = InterfacesSyntax::words(*it);
		if (!words.empty() && !InterfacesSyntax::isComment(words[0]))
			return !InterfacesSyntax::endsStanza(words[0]);
	}
	return false;
}

bool isOwned(const std::string& attribute, const std::map<std::string, std::string>& written)
{
	for (const char* owned : ownedAttributes)
		if (attribute == owned)
			return true;
	return written.count(attribute) != 0;
}
} // namespace

bool read_file(std::string path, std::list<std::string>& lines)
{
	return InterfacesSyntax::readLines(path, lines) == InterfacesSyntax::ReadResult::ok;
}

bool write_file(std::string path, std::list<std::string> lines)
{
	std::string target;
	if (!resolveTarget(path, target))
	{
		eDebug("cannot resolve %s: %s", path.c_str(), strerror(errno));
		return false;
	}
	std::string contents;
	for (const std::string& line : lines)
		contents += line + "\n";

	struct stat old;
	const bool exists = stat(target.c_str(), &old) == 0;
	removeStaleTemps(target);
	std::string temp = target + tempMark + tempTail;
	int file = mkstemp(temp.data());
	if (file < 0)
	{
		eDebug("cannot write %s: %s", target.c_str(), strerror(errno));
		return false;
	}
	bool ok = fchmod(file, exists ? (old.st_mode & permissionBits) : newFileMode) == 0;
	if (ok && exists && (fchown(file, old.st_uid, old.st_gid) != 0))
	{
		// Only root may hand a file to another owner; the mode still protects it.
		eDebug("cannot keep the owner of %s: %s", target.c_str(), strerror(errno));
	}
	ok = ok && fdio::writeAll(file, contents) && fsync(file) == 0;
	int savedErrno = errno;
	// The one close whose result matters: a failed close may mean data never reached
	// the disc, so the file is not renamed over the old one.
	ok = close(file) == 0 && ok;
	if (ok && rename(temp.c_str(), target.c_str()) != 0)
	{
		savedErrno = errno;
		ok = false;
	}
	if (!ok)
	{
		eDebug("cannot write %s: %s", target.c_str(), strerror(savedErrno));
		unlink(temp.c_str());
		return false;
	}
	syncDirectoryOf(target);
	return true;
}

std::string remove_interface_from_line(std::string name, std::string line)
{
	const std::vector<std::string> words = InterfacesSyntax::words(line);
	if (words.empty())
		return std::string();
	std::string kept = words[0];
	bool keptLater = false;
	for (std::size_t i = 1; i < words.size(); ++i)
	{
		if (words[i] == name)
			continue;
		kept += " " + words[i];
		keptLater = true;
	}
	return keptLater ? kept : std::string();
}

std::list<std::string>::iterator add_attributes(std::map<std::string, std::string> attributes,
	std::list<std::string>& lines, std::list<std::string>::iterator position)
{
	for (const auto& attribute : attributes)
		lines.insert(position, "\t" + attribute.first + " " + attribute.second);
	return position;
}

bool write_interface(std::string path, std::string name, bool automatic, std::string family, std::string method,
	std::map<std::string, std::string> attributes)
{
	bool wellFormed = isWord(name) && isWord(family) && isWord(method);
	for (const auto& attribute : attributes)
		wellFormed = wellFormed && isWord(attribute.first) && isValue(attribute.second);
	if (!wellFormed)
	{
		eDebug("refusing a malformed stanza for %s", path.c_str());
		return false;
	}

	std::list<std::string> lines;
	if (InterfacesSyntax::readLines(path, lines) == InterfacesSyntax::ReadResult::unreadable)
	{
		// Rewriting it from nothing would throw away every other interface of the box.
		eDebug("cannot read %s, left as it is", path.c_str());
		return false;
	}

	bool found = false;
	auto it = lines.begin();
	while (it != lines.end())
	{
		const std::vector<std::string> words = InterfacesSyntax::words(*it);
		if (words.empty())
		{
			++it;
			continue;
		}
		if (words[0] == "auto")
		{
			bool names = false;
			for (std::size_t i = 1; i < words.size() && !names; ++i)
				names = words[i] == name;
			if (!names)
			{
				++it;
				continue;
			}
			std::string rest = remove_interface_from_line(name, *it);
			if (rest.empty() && !beforeLooseLines(lines, std::next(it)))
				it = lines.erase(it);
			else
			{
				*it = rest.empty() ? autoKeyword : rest;
				++it;
			}
			continue;
		}
		if (!InterfacesSyntax::opensStanzaOf(words, name))
		{
			++it;
			continue;
		}

		found = true;
		*it = ifaceLine(name, family, method);
		if (automatic)
			lines.insert(it, autoLine(name));
		it = add_attributes(attributes, lines, std::next(it));
		// The old address settings go; every other line of the body stays where it was.
		while (it != lines.end())
		{
			const std::vector<std::string> body = InterfacesSyntax::words(*it);
			if (!body.empty() && InterfacesSyntax::endsStanza(body[0]))
				break;
			if (!body.empty() && isOwned(body[0], attributes))
				it = lines.erase(it);
			else
				++it;
		}
	}

	if (!found)
	{
		if (automatic)
			lines.push_back(autoLine(name));
		lines.push_back(ifaceLine(name, family, method));
		add_attributes(attributes, lines, lines.end());
	}
	return write_file(path, lines);
}

bool setDhcpAttributes(std::string name, bool automatic)
{
	std::map<std::string, std::string> attributes;
	char host[hostNameBytes];
	if (gethostname(host, sizeof host) == 0)
	{
		// A name that fills the buffer comes without its terminator.
		host[sizeof host - 1] = '\0';
		attributes["hostname"] = host;
	}
	return write_interface(boxPath(writtenInterfacesFile), name, automatic, writtenInetFamily, "dhcp", attributes);
}

bool setStaticAttributes(std::string name, bool automatic, std::string address, std::string netmask,
	std::string broadcast, std::string gateway)
{
	std::map<std::string, std::string> attributes;
	attributes["address"] = address;
	attributes["netmask"] = netmask;
	if (!broadcast.empty())
		attributes["broadcast"] = broadcast;
	if (!gateway.empty())
		attributes["gateway"] = gateway;
	return write_interface(boxPath(writtenInterfacesFile), name, automatic, writtenInetFamily, "static", attributes);
}

bool addLoopbackDevice(std::string name, bool automatic)
{
	return write_interface(boxPath(writtenInterfacesFile), name, automatic, writtenInetFamily, "loopback", {});
}
