#include "eConfigStore.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sys/stat.h>
#include <unistd.h>

#include "FdIo.h"
#include "Journal.h"
#include "UniqueFd.h"
#include "boxPath.h"
#include "eDebug.h"

namespace
{
const char* const intPrefix = "i:";
const char* const textPrefix = "s:";
const size_t prefixLength = 2;
const char* const backupSuffix = ".bak";
const char* const tempSuffix = ".XXXXXX";
const mode_t dirMode = 0755;
const mode_t fileMode = 0644;
const int decimal = 10;

std::string dirName(const std::string& path)
{
	const size_t slash = path.rfind('/');
	if (slash == std::string::npos)
		return ".";
	if (slash == 0)
		return "/";
	return path.substr(0, slash);
}

// Creates dir and its missing parents.
bool makeDirs(const std::string& dir)
{
	struct stat st = {};
	if (stat(dir.c_str(), &st) == 0)
	{
		if (!S_ISDIR(st.st_mode))
			errno = ENOTDIR;
		return S_ISDIR(st.st_mode);
	}
	const std::string parent = dirName(dir);
	if (parent != dir && !makeDirs(parent))
		return false;
	return mkdir(dir.c_str(), dirMode) == 0 || errno == EEXIST;
}

bool copyFile(const std::string& from, const std::string& to)
{
	std::ifstream in(from, std::ios::binary);
	std::ofstream out(to, std::ios::binary | std::ios::trunc);
	if (!in || !out)
		return false;
	out << in.rdbuf();
	return bool(out.flush());
}

void syncDir(const std::string& dir)
{
	const UniqueFd folder(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
	if (folder)
		fsync(folder.get());
}
} // namespace

eConfig* eConfig::getInstance()
{
	return &eConfigStore::instance();
}

eConfigStore& eConfigStore::instance()
{
	static eConfigStore store;
	return store;
}

std::string eConfigStore::escape(const std::string& text)
{
	std::string out;
	out.reserve(text.size());
	for (char c : text)
	{
		if (c == '\\')
			out += "\\\\";
		else if (c == '\n')
			out += "\\n";
		else
			out += c;
	}
	return out;
}

bool eConfigStore::unescape(const std::string& text, std::string& out)
{
	out.clear();
	for (size_t i = 0; i < text.size(); ++i)
	{
		if (text[i] != '\\')
		{
			out += text[i];
			continue;
		}
		if (++i == text.size())
			return false;
		if (text[i] == '\\')
			out += '\\';
		else if (text[i] == 'n')
			out += '\n';
		else
			return false;
	}
	return true;
}

bool eConfigStore::validKey(const char* key)
{
	// The key ends at the first '=' of a line, and a line ends at a newline.
	return key && *key && !strchr(key, '=') && !strchr(key, '\n');
}

bool eConfigStore::parseLine(const std::string& line, std::string& key, Value& value)
{
	if (line.size() <= prefixLength)
		return false;
	const bool isInt = line.compare(0, prefixLength, intPrefix) == 0;
	if (!isInt && line.compare(0, prefixLength, textPrefix) != 0)
		return false;
	const size_t equals = line.find('=', prefixLength);
	if (equals == std::string::npos || equals == prefixLength)
		return false;
	key = line.substr(prefixLength, equals - prefixLength);
	const std::string raw = line.substr(equals + 1);
	value = Value();
	value.isInt = isInt;
	if (!isInt)
		return unescape(raw, value.text);
	if (raw.empty())
		return false;
	errno = 0;
	char* end = nullptr;
	const long number = strtol(raw.c_str(), &end, decimal);
	if (errno != 0 || *end != '\0' || number < INT_MIN || number > INT_MAX)
		return false;
	value.number = int(number);
	return true;
}

bool eConfigStore::load(const std::string& path)
{
	std::lock_guard<std::mutex> guard(lock);
	values.clear();
	file = path;
	unreadable = false;
	FILE* in = fopen(path.c_str(), "r");
	if (!in)
	{
		if (errno == ENOENT)
		{
			eDebug("config: %s does not exist yet, starting empty", path.c_str());
			return true;
		}
		eWarning("config: cannot read %s: %s", path.c_str(), strerror(errno));
		unreadable = true;
		return false;
	}
	char* buffer = nullptr;
	size_t capacity = 0;
	ssize_t length = 0;
	int lineNumber = 0;
	while ((length = getline(&buffer, &capacity, in)) >= 0)
	{
		++lineNumber;
		std::string line(buffer, size_t(length));
		if (!line.empty() && line.back() == '\n')
			line.pop_back();
		if (line.empty())
			continue;
		std::string key;
		Value value;
		if (!parseLine(line, key, value))
		{
			eWarning("config: %s:%d: malformed line skipped", path.c_str(), lineNumber);
			continue;
		}
		values[key] = value;
	}
	free(buffer);
	const bool readError = ferror(in) != 0;
	const int savedErrno = errno;
	fclose(in);
	if (readError)
	{
		eWarning("config: cannot read %s: %s", path.c_str(), strerror(savedErrno));
		values.clear();
		unreadable = true;
		return false;
	}
	return true;
}

std::string eConfigStore::path() const
{
	std::lock_guard<std::mutex> guard(lock);
	return storePath();
}

std::string eConfigStore::storePath() const
{
	return file.empty() ? std::string(boxPath(storeFile)) : file;
}

int eConfigStore::getKey(const char* key, int& value)
{
	if (!key)
		return -1;
	std::lock_guard<std::mutex> guard(lock);
	const auto it = values.find(key);
	if (it == values.end() || !it->second.isInt)
		return -1;
	value = it->second.number;
	return 0;
}

int eConfigStore::getKey(const char* key, char*& value)
{
	if (!key)
		return -1;
	std::lock_guard<std::mutex> guard(lock);
	const auto it = values.find(key);
	if (it == values.end() || it->second.isInt)
		return -1;
	char* copy = strdup(it->second.text.c_str());
	if (!copy)
		return -1;
	value = copy;
	return 0;
}

int eConfigStore::setKey(const char* key, int value)
{
	if (!validKey(key))
	{
		eWarning("config: refusing key \"%s\"", key ? key : "(null)");
		return -1;
	}
	{
		std::lock_guard<std::mutex> guard(lock);
		Value& v = values[key];
		v = Value();
		v.isInt = true;
		v.number = value;
	}
	Journal::instance().event("config", {{"key", key}, {"value", value}});
	return 0;
}

int eConfigStore::setKey(const char* key, const char* value)
{
	if (!validKey(key) || !value)
	{
		eWarning("config: refusing key \"%s\"", key ? key : "(null)");
		return -1;
	}
	{
		std::lock_guard<std::mutex> guard(lock);
		Value& v = values[key];
		v = Value();
		v.text = value;
	}
	Journal::instance().event("config", {{"key", key}, {"value", value}});
	return 0;
}

void eConfigStore::delKey(const char* key)
{
	if (!key)
		return;
	{
		std::lock_guard<std::mutex> guard(lock);
		values.erase(key);
	}
	Journal::instance().event("config_del", {{"key", key}});
}

std::string eConfigStore::serialize() const
{
	std::string out;
	for (const auto& [key, value] : values)
	{
		out += value.isInt ? intPrefix : textPrefix;
		out += key;
		out += '=';
		out += value.isInt ? std::to_string(value.number) : escape(value.text);
		out += '\n';
	}
	return out;
}

void eConfigStore::flush()
{
	save();
}

bool eConfigStore::save()
{
	std::unique_lock<std::mutex> guard(lock);
	const std::string target = storePath();
	if (unreadable)
	{
		// Writing now would replace a store we never read with what little we hold.
		eWarning("config: not writing %s: it could not be read", target.c_str());
		return false;
	}
	const std::string dir = dirName(target);
	if (!makeDirs(dir))
	{
		eWarning("config: cannot create %s: %s", dir.c_str(), strerror(errno));
		return false;
	}
	std::string temp = target + tempSuffix;
	UniqueFd out(mkostemp(&temp[0], O_CLOEXEC));
	if (!out)
	{
		eWarning("config: cannot create a file beside %s: %s", target.c_str(), strerror(errno));
		return false;
	}
	const bool written =
		fdio::writeAll(out.get(), serialize()) && fchmod(out.get(), fileMode) == 0 && fsync(out.get()) == 0;
	const int savedErrno = errno;
	// A close that fails may have lost what was written: the old store stays then.
	if (::close(out.release()) != 0 || !written)
	{
		eWarning("config: cannot write %s: %s", temp.c_str(), strerror(written ? errno : savedErrno));
		unlink(temp.c_str());
		return false;
	}
	// The previous file becomes the backup without a moment in which no store exists:
	// a second name for it first, then the new file takes the main name.
	const std::string backup = target + backupSuffix;
	if (access(target.c_str(), F_OK) == 0)
	{
		unlink(backup.c_str());
		if (link(target.c_str(), backup.c_str()) != 0 && !copyFile(target, backup))
			eWarning("config: cannot keep %s: %s", backup.c_str(), strerror(errno));
	}
	if (rename(temp.c_str(), target.c_str()) != 0)
	{
		eWarning("config: cannot replace %s: %s", target.c_str(), strerror(errno));
		unlink(temp.c_str());
		return false;
	}
	syncDir(dir);
	guard.unlock();
	Journal::instance().event("config_flush");
	return true;
}
