#ifndef OXLE_TESTS_SUPPORT_FAKESERVER_H
#define OXLE_TESTS_SUPPORT_FAKESERVER_H

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "UniqueFd.h"

// A scripted TCP server on 127.0.0.1 shaped like the PC-side server: one request per
// connection, the reply written, the connection closed. A request ends when the client pauses
// for idleMs, half-closes, or isComplete says so; a connection closed without a byte (a probe)
// is an empty request the rule is not asked about. One thread per connection; the destructor
// stops everything, stalls and pauses too.
class FakeServer
{
public:
	// The server side of one accepted connection, handed to custom replies.
	class Connection
	{
	public:
		// Writes all bytes; false when the client went away or the server is stopping.
		bool write(const std::string& bytes);
		// Sleeps; false (early) when the server is stopping.
		bool pause(int ms);
		// Silent until the client closes or the server stops.
		void stall();

	private:
		friend class FakeServer;
		Connection(FakeServer& owner, int connected) : server(owner), socket(connected) {}
		FakeServer& server;
		int socket;
	};

	struct Piece
	{
		int delayMs = 0; // waited before the bytes are written
		std::string bytes;
	};

	// What the server does with one request. The default is to close without a reply.
	struct Reply
	{
		std::vector<Piece> pieces;
		// After the pieces, keep the connection open (and silent) instead of closing.
		bool stallAfter = false;
		// When set, runs instead of pieces/stallAfter; the connection closes after it.
		std::function<void(Connection&)> custom;

		static Reply text(std::string bytes, int delayMs = 0)
		{
			return Reply{{Piece{delayMs, std::move(bytes)}}, false, nullptr};
		}
		static Reply closeWithoutReply() { return Reply(); }
		// Accepts, reads the request and never answers.
		static Reply stall() { return Reply{{}, true, nullptr}; }
		// bytes in pieces of pieceBytes, gapMs apart: slow but steady.
		static Reply slowly(const std::string& bytes, std::size_t pieceBytes, int gapMs);
	};

	using Rule = std::function<Reply(const std::string& request)>;

	struct Options
	{
		// Quiet time that ends a request.
		int idleMs = 100;
		// Optional: true when the bytes so far are a whole request (ends it at once).
		std::function<bool(const std::string& bytes)> isComplete;
		// 0: the kernel picks a free port.
		uint16_t port = 0;
		// Always in 127.0.0.0/8, unless the test runs in a network namespace of its own.
		std::string bindAddress = "127.0.0.1";
	};

	explicit FakeServer(Rule rule);
	FakeServer(Rule rule, Options options);
	~FakeServer();
	FakeServer(const FakeServer&) = delete;
	FakeServer& operator=(const FakeServer&) = delete;

	// False when the listening socket could not be set up (see error()).
	bool ok() const { return listenSocket.valid(); }
	const std::string& error() const { return setupError; }
	uint16_t port() const { return boundPort; }

	// The requests seen so far, in the order they were completed.
	std::vector<std::string> requests() const;
	// Connections accepted so far.
	std::size_t connectionCount() const;
	// Waits until at least count requests were recorded; false on time-out.
	bool waitForRequests(std::size_t count, int timeoutMs) const;

	// Stops accepting, ends stalls and pauses, joins every thread. Idempotent.
	void stop();

	// A port nothing listens on right now, at any address (a dead server); 0 if none.
	static uint16_t freePort();

private:
	void acceptLoop();
	void serve(int socket);
	std::string readRequest(int socket, bool& clientClosed);

	Rule rule;
	Options options;
	UniqueFd listenSocket;
	uint16_t boundPort = 0;
	std::string setupError;
	std::thread acceptThread;

	// Guards everything below; stop() shuts the sockets down (ending every read, write and
	// accept) and wakes every pause through changed.
	mutable std::mutex lock;
	mutable std::condition_variable changed; // a request recorded, or stopping
	bool stopping = false;
	std::vector<std::string> seen;
	std::size_t accepted = 0;
	std::vector<std::thread> workers;
	std::set<int> open; // sockets of the connections being served
};

#endif
