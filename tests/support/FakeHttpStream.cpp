#include "FakeHttpStream.h"

#include <algorithm>

namespace
{
const char STREAM_REQUEST_START[] = "GET /dboxstream";
const char NOT_FOUND[] = "HTTP/1.0 404 Not Found\r\n\r\n";
const char LINE_END[] = "\r\n";

bool headEnded(const std::string& bytes)
{
	return bytes.find("\r\n\r\n") != std::string::npos || bytes.find("\n\n") != std::string::npos;
}
} // namespace

FakeHttpStream::FakeHttpStream(Script toServe) : script(std::move(toServe))
{
	FakeServer::Options options;
	options.isComplete = headEnded;
	server = std::make_unique<FakeServer>(
		[this](const std::string& request) {
			if (request.compare(0, sizeof STREAM_REQUEST_START - 1, STREAM_REQUEST_START) != 0)
				return FakeServer::Reply::text(NOT_FOUND);
			FakeServer::Reply reply;
			reply.custom = [this](FakeServer::Connection& connection) { answer(connection); };
			return reply;
		},
		options);
}

void FakeHttpStream::answer(FakeServer::Connection& connection)
{
	const std::string& body = script.body;
	std::size_t total = body.size() * script.loops;
	std::size_t chunk = std::max<std::size_t>(script.chunkBytes, 1);
	std::size_t at = 0; // position in the looped body

	auto bodySlice = [&](std::size_t length) {
		std::string slice;
		slice.reserve(length);
		while (slice.size() < length)
		{
			std::size_t offset = (at + slice.size()) % body.size();
			slice.append(body, offset, std::min(length - slice.size(), body.size() - offset));
		}
		return slice;
	};

	if (!script.statusLine.empty())
	{
		std::string head = script.statusLine + LINE_END + LINE_END;
		std::size_t first = std::min(script.bodyWithHeader, total);
		if (first > 0)
			head += bodySlice(first);
		if (!connection.write(head))
			return;
		at += first;
	}
	while (at < total)
	{
		if (at > 0 && !connection.pause(script.gapMs))
			return;
		std::size_t length = std::min(chunk, total - at);
		if (!connection.write(bodySlice(length)))
			return;
		at += length;
	}
	if (script.end == End::Silent)
		connection.stall();
}
