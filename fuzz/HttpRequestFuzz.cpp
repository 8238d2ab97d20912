// The stream port's request line on any bytes: what is accepted is the method, one
// blank, the target, one blank and an HTTP version; a refusal leaves the outputs alone;
// a head once complete stays complete; and any target without blanks is read back.
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "server/HttpRequest.h"

using oxle::server::HttpRequest;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
	const std::string head(reinterpret_cast<const char*>(data), size);
	std::string method = "?", target = "?";
	if (HttpRequest::parseRequestLine(head, method, target))
	{
		fuzzCheck(!method.empty() && !target.empty(), "method and target are there");
		fuzzCheck(method.find(' ') == std::string::npos && target.find(' ') == std::string::npos,
			"method and target hold no blank");
		const std::string start = method + " " + target + " HTTP/";
		fuzzCheck(head.compare(0, start.size(), start) == 0, "the line is method, target and version");
		fuzzCheck(head.find('\n') == std::string::npos || head.find('\n') >= start.size(),
			"all of it lies on the first line");
	}
	else
		fuzzCheck(method == "?" && target == "?", "a refusal leaves method and target alone");

	if (HttpRequest::headComplete(head))
		fuzzCheck(HttpRequest::headComplete("x" + head + "y"), "a complete head stays complete");
	fuzzCheck(HttpRequest::headComplete(head + "\r\n\r\n"), "an empty line completes a head");

	std::string path;
	for (char c : head)
		if (c != ' ' && c != '\n')
			path += c;
	if (!path.empty())
	{
		fuzzCheck(HttpRequest::parseRequestLine("GET " + path + " HTTP/1.0\r\nHost: box\r\n\r\n", method, target),
			"a well-formed line is accepted");
		fuzzCheck(method == "GET" && target == path, "its method and target are read back");
	}
	return 0;
}
