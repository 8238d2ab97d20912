#include "TempBoxRoot.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace
{
const char ROOT_TEMPLATE[] = "oxle-box-XXXXXX";
const char LOOPBACK_SERVER[] = "127.0.0.1";

// The store's text values escape backslash and newline.
std::string escapeValue(const std::string& value)
{
	std::string out;
	for (char c : value)
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

std::string tempParent()
{
	const char* tmp = getenv("TMPDIR");
	return tmp && *tmp ? tmp : "/tmp";
}
} // namespace

TempBoxRoot::TempBoxRoot(uint16_t serverPort)
{
	std::string pattern = tempParent() + "/" + ROOT_TEMPLATE;
	if (!mkdtemp(pattern.data()))
		return;
	root = pattern;
	entries[SERVER_IP_KEY] = std::string("s:") + SERVER_IP_KEY + "=" + LOOPBACK_SERVER;
	entries[SERVER_PORT_KEY] = std::string("s:") + SERVER_PORT_KEY + "=" + std::to_string(serverPort);
	seeded = writeConfig();
}

TempBoxRoot::~TempBoxRoot()
{
	if (root.empty())
		return;
	std::error_code ignored;
	fs::remove_all(root, ignored);
}

std::string TempBoxRoot::file(const std::string& boxPath) const
{
	return root + boxPath;
}

bool TempBoxRoot::setString(const std::string& key, const std::string& value)
{
	entries[key] = "s:" + key + "=" + escapeValue(value);
	return seeded = writeConfig();
}

bool TempBoxRoot::setInt(const std::string& key, int value)
{
	entries[key] = "i:" + key + "=" + std::to_string(value);
	return seeded = writeConfig();
}

bool TempBoxRoot::writeConfig()
{
	std::ostringstream text;
	for (const auto& entry : entries)
		text << entry.second << '\n';
	return writeFile(CONFIG_FILE, text.str());
}

bool TempBoxRoot::writeFile(const std::string& boxPath, const std::string& contents) const
{
	if (root.empty())
		return false;
	fs::path target = file(boxPath);
	std::error_code error;
	fs::create_directories(target.parent_path(), error);
	if (error)
		return false;
	std::ofstream out(target, std::ios::binary | std::ios::trunc);
	out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
	out.close();
	return static_cast<bool>(out);
}

std::string TempBoxRoot::readFile(const std::string& boxPath) const
{
	std::ifstream in(file(boxPath), std::ios::binary);
	if (!in)
		return std::string();
	return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool TempBoxRoot::exists(const std::string& boxPath) const
{
	std::error_code ignored;
	return fs::exists(file(boxPath), ignored);
}
