// The server's request parser on any bytes. An accepted request is cut at bars only, so
// its fields give the wire text back; the path commands keep their path whole; the
// backslash and number helpers undo what the box does and read only plain decimals.
#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>

#include "FuzzCheck.h"
#include "server/RequestParser.h"

using oxle::server::RequestParser;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
	const std::string wire(reinterpret_cast<const char*>(data), size);
	const oxle::server::ParseResult result = RequestParser::parse(wire);
	std::string text = wire;
	while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
		text.pop_back();
	if (!result.ok)
		fuzzCheck(!result.error.empty(), "a refusal says why");
	else
	{
		const oxle::server::Request& request = result.request;
		fuzzCheck(!request.group.empty() && !request.command.empty(), "group and command are there");
		fuzzCheck(request.group.find('|') == std::string::npos && request.command.find('|') == std::string::npos,
			"group and command hold no bar");
		std::string joined = request.group + "|" + request.command;
		for (const std::string& arg : request.args)
			joined += "|" + arg;
		fuzzCheck(joined == text, "the fields give the wire text back");
		if (request.command == "PLY")
			fuzzCheck(request.args.size() == 3 && request.args[1].find('|') == std::string::npos &&
					request.args[2].find('|') == std::string::npos,
				"PLY is path, offset and channel, the path taking the bars");
		if (request.command == "GFL" || request.command == "NFO")
			fuzzCheck(request.args.size() == 1, "a path command has its path whole");
	}

	std::string doubled;
	for (char c : wire)
		doubled += c == '\\' ? std::string("\\\\") : std::string(1, c);
	fuzzCheck(RequestParser::undoubleBackslashes(doubled) == wire, "undoubling gives the path back");

	long value = 0;
	if (RequestParser::parseInt(wire, value))
	{
		const std::size_t digits = wire[0] == '-' || wire[0] == '+' ? 1 : 0;
		bool plain = wire.size() > digits;
		for (std::size_t i = digits; i < wire.size(); ++i)
			plain = plain && std::isdigit(static_cast<unsigned char>(wire[i]));
		fuzzCheck(plain, "a number is an optional sign and decimal digits");
	}
	if (size >= sizeof value)
	{
		std::memcpy(&value, data, sizeof value);
		long back = ~value;
		fuzzCheck(RequestParser::parseInt(std::to_string(value), back) && back == value, "every long reads back");
	}
	return 0;
}
