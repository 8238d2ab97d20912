#ifndef OXLE_TESTS_SUPPORT_FAKEHTTPSTREAM_H
#define OXLE_TESTS_SUPPORT_FAKEHTTPSTREAM_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "FakeServer.h"

// A scripted HTTP stream server on 127.0.0.1, standing in for the PC's transport
// stream: it answers "GET /dboxstream" with a status line and then writes the body at
// a given pace. Any other request gets "HTTP/1.0 404 Not Found" and is closed.
// A request ends at its empty line (CR LF CR LF or LF LF) or after a 100 ms pause.
class FakeHttpStream
{
public:
	enum class End
	{
		Close,  // close the connection after the body
		Silent, // keep it open and write nothing more
	};

	struct Script
	{
		// Written with CR LF and the empty line. An empty status line writes no header at
		// all (with an empty body and End::Silent the server accepts and never answers).
		std::string statusLine = "HTTP/1.0 200 OK";
		// Body bytes written in the same write as the header (the rest follows paced).
		std::size_t bodyWithHeader = 0;
		std::string body;
		// The body is sent this many times in a row (long streams without huge strings).
		std::size_t loops = 1;
		std::size_t chunkBytes = 64 * 1024;
		int gapMs = 0; // pause between two body writes
		End end = End::Close;
	};

	explicit FakeHttpStream(Script script);
	FakeHttpStream(const FakeHttpStream&) = delete;
	FakeHttpStream& operator=(const FakeHttpStream&) = delete;

	bool ok() const { return server->ok(); }
	uint16_t port() const { return server->port(); }
	// The request heads received, one per connection.
	std::vector<std::string> requests() const { return server->requests(); }
	bool waitForRequests(std::size_t count, int timeoutMs) const { return server->waitForRequests(count, timeoutMs); }
	void stop() { server->stop(); }

private:
	void answer(FakeServer::Connection& connection);

	Script script;
	// Last member: its threads use the members above and stop before they go.
	std::unique_ptr<FakeServer> server;
};

#endif
