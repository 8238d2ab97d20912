#include "JournalQuery.h"

namespace
{
bool isEvent(const nlohmann::json& line, const std::string& ev)
{
	return line.is_object() && line.value("ev", "") == ev;
}
} // namespace

size_t JournalQuery::find(const std::string& ev, size_t from, const Match& match) const
{
	for (size_t i = from; i < lines.size(); ++i)
		if (isEvent(lines[i], ev) && (!match || match(lines[i])))
			return i;
	return npos;
}

size_t JournalQuery::findLastBefore(const std::string& ev, size_t before, const Match& match) const
{
	for (size_t i = before < lines.size() ? before : lines.size(); i-- > 0;)
		if (isEvent(lines[i], ev) && (!match || match(lines[i])))
			return i;
	return npos;
}

std::vector<nlohmann::json> JournalQuery::all(const std::string& ev) const
{
	std::vector<nlohmann::json> out;
	for (const nlohmann::json& line : lines)
		if (isEvent(line, ev))
			out.push_back(line);
	return out;
}

std::vector<std::string> JournalQuery::texts(const std::string& ev) const
{
	std::vector<std::string> out;
	for (const nlohmann::json& line : all(ev))
		out.push_back(line.value("text", ""));
	return out;
}

JournalQuery::Match JournalQuery::textIs(const std::string& text)
{
	return [text](const nlohmann::json& line) { return line.value("text", "") == text; };
}

JournalQuery::Match JournalQuery::opIs(const std::string& op)
{
	return [op](const nlohmann::json& line) { return line.value("op", "") == op; };
}

std::string JournalQuery::dump() const
{
	std::string text;
	for (const nlohmann::json& line : lines)
		text += line.dump() + "\n";
	return text;
}
