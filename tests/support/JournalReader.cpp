#include "JournalReader.h"

#include <cstdlib>

#include "TempDir.h"

// The only place of the test kit that knows JSON: the test files see plain text.
#include <nlohmann/json.hpp>

namespace
{
// Array items are named by their index.
void flatten(const std::string& name, const nlohmann::json& value, std::map<std::string, std::string>& fields)
{
	fields[name] = value.is_string() ? value.get<std::string>() : value.dump();
	if (value.is_structured())
		for (const auto& item : value.items())
			flatten(name + "." + item.key(), item.value(), fields);
}
} // namespace

std::string JournalEvent::operator[](const std::string& name) const
{
	auto found = fields.find(name);
	return found == fields.end() ? std::string() : found->second;
}

long long JournalEvent::number(const std::string& name, long long absent) const
{
	const std::string text = (*this)[name];
	char* end = nullptr;
	const long long value = std::strtoll(text.c_str(), &end, 10);
	return text.empty() || *end ? absent : value;
}

JournalReader::JournalReader(const std::string& path, size_t since)
{
	const std::string text = TempDir::slurp(path);
	size_t seen = 0;
	for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
	{
		JournalEvent event;
		event.line = text.substr(start, end - start);
		const nlohmann::json parsed = nlohmann::json::parse(event.line, nullptr, false);
		if (!parsed.is_object() || seen++ < since)
			continue;
		for (const auto& item : parsed.items())
			flatten(item.key(), item.value(), event.fields);
		event.ev = event["ev"];
		event.t = event.number("t");
		events.push_back(std::move(event));
	}
}

bool JournalReader::matches(const JournalEvent& event, const std::string& ev, const Match& match)
{
	if (event.ev != ev)
		return false;
	for (const auto& wanted : match)
		if (!event.has(wanted.first) || event[wanted.first] != wanted.second)
			return false;
	return true;
}

size_t JournalReader::find(const std::string& ev, const Match& match, size_t from) const
{
	for (size_t at = from; at < events.size(); ++at)
		if (matches(events[at], ev, match))
			return at;
	return npos;
}

size_t JournalReader::findLast(const std::string& ev, const Match& match, size_t before) const
{
	for (size_t at = before < events.size() ? before : events.size(); at-- > 0;)
		if (matches(events[at], ev, match))
			return at;
	return npos;
}

std::vector<JournalEvent> JournalReader::all(const std::string& ev, const Match& match) const
{
	std::vector<JournalEvent> out;
	for (const JournalEvent& event : events)
		if (matches(event, ev, match))
			out.push_back(event);
	return out;
}

std::vector<std::string> JournalReader::texts(const std::string& ev, const std::string& field) const
{
	std::vector<std::string> out;
	for (const JournalEvent& event : all(ev))
		out.push_back(event[field]);
	return out;
}

std::string JournalReader::dump() const
{
	std::string out;
	for (const JournalEvent& event : events)
		out += event.line + "\n";
	return out;
}
