#include "Scenario.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>

namespace
{
const char* const KINDS[] = {"ts", "mp4", "mp3"};
const MediaMaker::Kind MAKER_KINDS[] = {
	MediaMaker::Kind::Mpeg2Mp2Ts, MediaMaker::Kind::H264AacMp4, MediaMaker::Kind::Mp3};
const char* const FORBIDDEN_BOX_FILES[] = {"/var/tuxbox/config/enigma/config", "/etc/network/interfaces"};
const std::string SERVER_IP_SETTING = "/enigma/plugins/oxle/serverip=";
const std::string LOOPBACK_VALUE = "s:127.";
const int DECIMAL = 10;
const int HEX = 16;
const size_t RGB_DIGITS = 6;
// Per channel; a decoded solid colour lands within a few steps of its value, the
// neighbouring test colours are at least 128 away.
const int COLOUR_TOLERANCE = 48;
const int CHANNEL_BITS = 8;
const unsigned CHANNEL_MASK = 0xff;
const int CHANNELS = 3;

std::string trim(const std::string& s)
{
	const size_t first = s.find_first_not_of(" \t\r");
	return first == std::string::npos ? std::string() : s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

// Only these three: a Windows path such as C:\media stays as it is.
std::string unescape(const std::string& s)
{
	std::string out;
	for (size_t i = 0; i < s.size(); ++i)
	{
		const char next = i + 1 < s.size() ? s[i + 1] : 0;
		if (s[i] == '\\' && (next == 'n' || next == 't' || next == '\\'))
			out += s[++i] == 'n' ? '\n' : next == 't' ? '\t' : '\\';
		else
			out += s[i];
	}
	return out;
}

// Words split at blanks; a quote right at a value's start keeps blanks up to its mate.
std::vector<std::string> words(const std::string& line)
{
	std::vector<std::string> out(1);
	char quote = 0;
	for (char c : line)
	{
		const std::string& word = out.back();
		if (!quote && (c == '"' || c == '\'') && (word.empty() || strchr("=<>", word.back())))
			quote = c;
		else if (quote && c == quote)
			quote = 0;
		else if (!quote && (c == ' ' || c == '\t'))
		{
			if (!word.empty())
				out.emplace_back();
		}
		else
			out.back() += c;
	}
	if (out.back().empty())
		out.pop_back();
	return out;
}

bool condition(const std::string& word, Scenario::Condition& c)
{
	const size_t at = word.find_first_of("!^~<>=", 1);
	if (at == std::string::npos)
		return false;
	const size_t length = word[at] != '=' && at + 1 < word.size() && word[at + 1] == '=' ? 2 : 1;
	c = {word.substr(0, at), word.substr(at, length), word.substr(at + length)};
	return !strchr("!^~", c.op.back());
}

// KIND SECONDS [kbps=N] from w[from] on.
bool clip(const std::vector<std::string>& w, size_t from, MediaMaker::Clip& out)
{
	bool known = false;
	for (size_t k = 0; k < sizeof KINDS / sizeof KINDS[0] && w.size() > from + 1; ++k)
		if (w[from] == KINDS[k])
		{
			out.kind = MAKER_KINDS[k];
			known = true;
		}
	out.seconds = known ? std::atoi(w[from + 1].c_str()) : 0;
	for (size_t i = from + 2; i < w.size(); ++i)
		if (w[i].rfind("kbps=", 0) == 0)
			out.kbps = std::atoi(w[i].c_str() + strlen("kbps="));
	return out.seconds > 0;
}
// [seconds=N] [kbps=N] from w[from] on.
bool discOptions(const std::vector<std::string>& w, size_t from, MediaMaker::Disc& out)
{
	for (size_t i = from; i < w.size(); ++i)
		if (w[i].rfind("seconds=", 0) == 0)
			out.seconds = std::atoi(w[i].c_str() + strlen("seconds="));
		else if (w[i].rfind("kbps=", 0) == 0)
			out.kbps = std::atoi(w[i].c_str() + strlen("kbps="));
		else
			return false;
	return out.seconds > 0 && out.kbps >= 0;
}

// NAME X Y RRGGBB.
bool picture(const std::vector<std::string>& w, Scenario::Picture& out)
{
	if (w.size() != 4 || w[3].size() != RGB_DIGITS)
		return false;
	char* end = nullptr;
	out.snapshot = w[0];
	out.x = std::atoi(w[1].c_str());
	out.y = std::atoi(w[2].c_str());
	out.rgb = unsigned(std::strtoul(w[3].c_str(), &end, HEX));
	return *end == 0 && out.x >= 0 && out.y >= 0;
}
} // namespace

bool Scenario::parse(const std::string& text, std::string& error)
{
	std::istringstream in(text);
	std::string raw, part;
	for (int number = 1; std::getline(in, raw); ++number)
	{
		std::string line = trim(raw);
		if (title.empty() && line.rfind('#', 0) == 0)
			title = trim(line.substr(1));
		for (size_t at = line.find('#'); at != std::string::npos; at = line.find('#', at + 1))
			if (at == 0 || line[at - 1] == ' ' || line[at - 1] == '\t')
			{
				line = trim(line.substr(0, at));
				break;
			}
		if (line.empty())
			continue;
		const std::vector<std::string> w = words(line);
		const std::string& head = w[0];
		const std::string rest = trim(line.substr(head.size()));
		const std::string afterName = w.size() > 1 ? trim(rest.substr(rest.find(w[1]) + w[1].size())) : "";
		bool good = true;
		if (line == "keys" || line == "expect" || line == "requests" || line == "pictures")
			part = line;
		else if (part == "keys")
			keys.push_back(line);
		else if (part == "requests")
			requests.push_back({line[0] == '!', "", {}, trim(line.substr(line[0] == '!'))});
		else if (part == "pictures")
		{
			pictures.emplace_back();
			good = picture(w, pictures.back());
		}
		else if (part == "expect")
		{
			expect.push_back({head[0] == '!', head.substr(head[0] == '!'), {}, line});
			for (size_t i = 1; i < w.size() && good; ++i)
			{
				expect.back().conditions.emplace_back();
				good = condition(w[i], expect.back().conditions.back());
			}
			good = good && !expect.back().ev.empty();
		}
		else if (head == "labels") // read by CMake
			good = true;
		else if (head == "plugin")
			good = (fixture = rest == "fixture") || rest == "real";
		else if (head == "server" && w.size() > 1)
		{
			// The real server may be given a password and the made disc as its drive, nothing
			// else: no address options.
			server = w[1];
			good = server == "real" || ((server == "fake" || server == "none") && w.size() == 2);
			for (size_t i = 2; server == "real" && good && i < w.size(); i += 2)
			{
				const std::string value = i + 1 < w.size() ? w[i + 1] : "";
				if (w[i] == "--password" && !value.empty())
					serverPassword = value;
				else if (w[i] == "--cd-drive" && value == DISC_PLACEHOLDER)
					serverCdDrive = true;
				else
					good = false;
			}
		}
		else if (head == "disc" && w.size() > 2 && discName.empty())
		{
			discName = w[1];
			disc.kind = w[2] == "vcd" ? MediaMaker::DiscKind::Vcd : MediaMaker::DiscKind::Dvd;
			good = (w[2] == "dvd" || w[2] == "vcd") && w[1].find('/') == std::string::npos && discOptions(w, 3, disc);
		}
		else if ((head == "media" || head == "file" || head == "dir") && w.size() > 1)
		{
			served.push_back({head, w[1], unescape(afterName), {}});
			good = head != "media" || clip(w, 2, served.back().clip);
		}
		else if (head == "set")
		{
			settings.push_back(rest);
			// Only a loopback server address, ever.
			good = rest.rfind(SERVER_IP_SETTING, 0) != 0 ||
				rest.compare(SERVER_IP_SETTING.size(), LOOPBACK_VALUE.size(), LOOPBACK_VALUE) == 0;
		}
		else if (head == "box-file" && w.size() > 1)
		{
			boxFiles.emplace_back(w[1], unescape(afterName));
			for (const char* forbidden : FORBIDDEN_BOX_FILES)
				good = good && std::filesystem::path(w[1]).lexically_normal() != forbidden;
		}
		else if (head == "decoder")
			good = (decoder = rest) == "fast" || rest == "realtime";
		else if (head == "reply" && rest.find(" =>") != std::string::npos)
			replies.emplace_back(
				trim(rest.substr(0, rest.find(" =>"))), unescape(trim(rest.substr(rest.find(" =>") + 3))));
		else if (head == "stream")
		{
			good = stream = clip(w, 2, streamClip);
			for (size_t i = 4; i < w.size(); ++i)
				if (w[i].rfind("head=", 0) == 0)
					headPackets = size_t(std::atoi(w[i].c_str() + strlen("head=")));
		}
		else
			good = false;
		// Made files stay in their folders.
		if (part.empty() && head != "reply" && w.size() > 1 && w[1].find("..") != std::string::npos)
			good = false;
		if (!good)
		{
			error = "line " + std::to_string(number) + ": not understood: " + line;
			return false;
		}
	}
	error = keys.empty() || expect.empty()  ? "a scenario needs keys and expect"
		: serverCdDrive && discName.empty() ? "--cd-drive {disc} needs a disc line"
											: "";
	return error.empty();
}

bool Scenario::looksLike(unsigned got, unsigned wanted)
{
	for (int channel = 0; channel < CHANNELS; ++channel)
	{
		const int shift = channel * CHANNEL_BITS;
		if (std::abs(int((got >> shift) & CHANNEL_MASK) - int((wanted >> shift) & CHANNEL_MASK)) > COLOUR_TOLERANCE)
			return false;
	}
	return true;
}

bool Scenario::holds(const Condition& c, bool present, const std::string& actual)
{
	if (!present)
		return c.op == "!=";
	if (c.op == "!=")
		return actual != c.value;
	if (c.op == "=")
		return actual == c.value;
	if (c.op == "^=")
		return actual.rfind(c.value, 0) == 0;
	if (c.op == "~=")
		return actual.find(c.value) != std::string::npos;
	char* end = nullptr;
	const long long number = std::strtoll(actual.c_str(), &end, DECIMAL), wanted = std::atoll(c.value.c_str());
	if (actual.empty() || *end)
		return false;
	return c.op == ">" ? number > wanted
		: c.op == "<"  ? number < wanted
		: c.op == ">=" ? number >= wanted
					   : number <= wanted;
}

bool Scenario::matchesPattern(const std::string& pattern, const std::string& text)
{
	if (!pattern.empty() && pattern.back() == '*')
		return text.rfind(pattern.substr(0, pattern.size() - 1), 0) == 0;
	return pattern == text;
}
