#include "TempBoxRoot.h"

#include <filesystem>
#include <sstream>
#include <system_error>

namespace
{
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
} // namespace

TempBoxRoot::TempBoxRoot(uint16_t serverPort)
{
	entries[SERVER_IP_KEY] = std::string("s:") + SERVER_IP_KEY + "=" + LOOPBACK;
	entries[SERVER_PORT_KEY] = std::string("s:") + SERVER_PORT_KEY + "=" + std::to_string(serverPort);
	seeded = writeConfig();
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
	return !dir.file(boxPath, contents).empty();
}

bool TempBoxRoot::exists(const std::string& boxPath) const
{
	std::error_code ignored;
	return dir.ok() && std::filesystem::exists(file(boxPath), ignored);
}
