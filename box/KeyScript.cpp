#include "KeyScript.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "KeyInput.h"

namespace
{
const int scriptNumberBase = 10;

std::vector<std::string> splitWords(const std::string& line)
{
	std::vector<std::string> words;
	std::istringstream in(line);
	std::string word;
	while (in >> word)
		words.push_back(word);
	return words;
}

bool parseMs(const std::string& text, long& ms)
{
	if (text.empty() || text[0] < '0' || text[0] > '9')
		return false;
	errno = 0;
	char* end = nullptr;
	long value = std::strtol(text.c_str(), &end, scriptNumberBase);
	if (errno != 0 || *end != '\0' || value > KeyScript::maxSleepMs)
		return false;
	ms = value;
	return true;
}

// A snapshot name becomes a file name inside the snapshot folder: nothing that could
// climb out of it or hide.
bool safeSnapName(const std::string& name)
{
	if (name.empty() || name[0] == '.')
		return false;
	for (char c : name)
	{
		bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
			c == '.';
		if (!ok)
			return false;
	}
	return true;
}
} // namespace

bool KeyScript::parse(const std::string& text, bool snapshotsAllowed, std::string& error)
{
	list.clear();
	std::istringstream in(text);
	std::string line;
	int number = 0;
	while (std::getline(in, line))
	{
		++number;
		std::string content = line.substr(0, line.find('#'));
		std::vector<std::string> words = splitWords(content);
		if (words.empty())
			continue;

		Item item;
		item.line = number;
		const std::string& head = words[0];
		bool good = false;
		std::string why = "unknown item";
		if (head == "sleep")
		{
			item.kind = Item::Kind::Sleep;
			good = words.size() == 2 && parseMs(words[1], item.ms);
			why = "sleep needs one whole number of milliseconds";
		}
		else if (head == "snap")
		{
			item.kind = Item::Kind::Snap;
			good = words.size() == 2 && safeSnapName(words[1]);
			why = "snap needs one name of letters, digits, '-', '_' or '.'";
			if (good && !snapshotsAllowed)
			{
				good = false;
				why = "snap needs --snapshots DIR";
			}
			if (good)
				item.name = words[1];
		}
		else if (head == "wait")
		{
			// wait MS EVENT [FIELD=VALUE]: the value is the rest of the line, spaces and all.
			item.kind = Item::Kind::Wait;
			why = "wait needs a time-out in milliseconds, an event name and optionally FIELD=VALUE";
			good = words.size() >= 3 && parseMs(words[1], item.ms);
			if (good)
			{
				item.name = words[2];
				if (words.size() > 3)
				{
					const size_t at = content.find(words[3], content.find(words[2]) + words[2].size());
					std::string condition = content.substr(at);
					condition.erase(condition.find_last_not_of(" \t\r") + 1);
					const size_t equals = condition.find('=');
					good = equals != std::string::npos && equals > 0;
					if (good)
					{
						item.field = condition.substr(0, equals);
						item.value = condition.substr(equals + 1);
					}
				}
			}
		}
		else if (head == "quit")
		{
			item.kind = Item::Kind::Quit;
			good = words.size() == 1;
			why = "quit takes nothing after it";
		}
		else if (KeyInput::isKeyName(head))
		{
			item.kind = Item::Kind::Key;
			item.name = head;
			good = words.size() == 1;
			why = "one key a line";
		}
		if (!good)
		{
			error = "line " + std::to_string(number) + ": " + why + ": \"" + line + "\"";
			list.clear();
			return false;
		}
		list.push_back(item);
	}
	return true;
}

bool KeyScript::load(const std::string& path, bool snapshotsAllowed, std::string& error)
{
	std::string text;
	if (path == "-")
	{
		text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
	}
	else
	{
		std::ifstream file(path, std::ios::binary);
		if (!file)
		{
			error = "cannot read key script \"" + path + "\"";
			return false;
		}
		text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
	}
	std::string why;
	if (!parse(text, snapshotsAllowed, why))
	{
		error = "key script \"" + path + "\" " + why;
		return false;
	}
	return true;
}
