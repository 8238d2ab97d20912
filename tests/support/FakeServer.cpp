#include "FakeServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace
{
const int LISTEN_BACKLOG = 64;
const std::size_t READ_CHUNK_BYTES = 4096;
const int MS_PER_SECOND = 1000;
const int US_PER_MS = 1000;

// How long a read waits for more bytes; 0 waits for ever.
void setReadWait(int socket, int ms)
{
	timeval wait{ms / MS_PER_SECOND, (ms % MS_PER_SECOND) * US_PER_MS};
	setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
}
} // namespace

FakeServer::Reply FakeServer::Reply::slowly(const std::string& bytes, std::size_t pieceBytes, int gapMs)
{
	Reply reply;
	pieceBytes = pieceBytes ? pieceBytes : 1;
	for (std::size_t at = 0; at < bytes.size(); at += pieceBytes)
		reply.pieces.push_back(Piece{at == 0 ? 0 : gapMs, bytes.substr(at, pieceBytes)});
	return reply;
}

bool FakeServer::Connection::write(const std::string& bytes)
{
	for (std::size_t sent = 0; sent < bytes.size();)
	{
		// A client that stops reading holds us here until it closes or we stop.
		const ssize_t n = send(socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
		if (n < 0 && errno != EINTR)
			return false;
		sent += n > 0 ? static_cast<std::size_t>(n) : 0;
	}
	return true;
}

bool FakeServer::Connection::pause(int ms)
{
	std::unique_lock<std::mutex> guard(server.lock);
	return !server.changed.wait_for(guard, std::chrono::milliseconds(ms), [this] { return server.stopping; });
}

void FakeServer::Connection::stall()
{
	char sink[READ_CHUNK_BYTES];
	ssize_t n;
	while ((n = recv(socket, sink, sizeof sink, 0)) > 0 || (n < 0 && errno == EINTR))
	{
	}
}

FakeServer::FakeServer(Rule serverRule) : FakeServer(std::move(serverRule), Options())
{
}

FakeServer::FakeServer(Rule serverRule, Options serverOptions)
	: rule(std::move(serverRule)), options(std::move(serverOptions))
{
	UniqueFd sock(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
	int yes = 1;
	sockaddr_in address{};
	address.sin_family = AF_INET;
	address.sin_port = htons(options.port);
	socklen_t length = sizeof address;
	if (!sock || inet_pton(AF_INET, options.bindAddress.c_str(), &address.sin_addr) != 1 ||
		setsockopt(sock.get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) != 0 ||
		bind(sock.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
		listen(sock.get(), LISTEN_BACKLOG) != 0 ||
		getsockname(sock.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
	{
		setupError = "listening on " + options.bindAddress + ": " + strerror(errno);
		return;
	}
	boundPort = ntohs(address.sin_port);
	listenSocket = std::move(sock);
	acceptThread = std::thread([this] { acceptLoop(); });
}

FakeServer::~FakeServer()
{
	stop();
}

void FakeServer::stop()
{
	{
		std::lock_guard<std::mutex> guard(lock);
		if (!stopping && listenSocket)
			shutdown(listenSocket.get(), SHUT_RDWR);
		for (int socket : open)
			shutdown(socket, SHUT_RDWR);
		stopping = true;
		changed.notify_all();
	}
	if (acceptThread.joinable())
		acceptThread.join();
	std::vector<std::thread> finishing;
	{
		std::lock_guard<std::mutex> guard(lock);
		finishing.swap(workers);
	}
	for (std::thread& worker : finishing)
		worker.join();
	listenSocket.reset();
}

void FakeServer::acceptLoop()
{
	for (;;)
	{
		const int client = accept4(listenSocket.get(), nullptr, nullptr, SOCK_CLOEXEC);
		std::lock_guard<std::mutex> guard(lock);
		if (stopping)
		{
			if (client >= 0)
				close(client);
			return;
		}
		if (client < 0)
			continue;
		++accepted;
		open.insert(client);
		workers.emplace_back([this, client] { serve(client); });
	}
}

std::string FakeServer::readRequest(int socket, bool& clientClosed)
{
	std::string bytes;
	char chunk[READ_CHUNK_BYTES];
	for (;;)
	{
		const ssize_t n = recv(socket, chunk, sizeof chunk, 0);
		if (n < 0 && errno == EINTR)
			continue;
		// Before the first byte the client may take its time; after it, a pause ends the
		// request.
		clientClosed = n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
		if (n <= 0)
			return bytes;
		if (bytes.empty())
			setReadWait(socket, options.idleMs);
		bytes.append(chunk, static_cast<std::size_t>(n));
		if (options.isComplete && options.isComplete(bytes))
			return bytes;
	}
}

void FakeServer::serve(int socket)
{
	bool clientClosed = false;
	const std::string request = readRequest(socket, clientClosed);
	bool answer = !(clientClosed && request.empty());
	{
		std::lock_guard<std::mutex> guard(lock);
		if (stopping && request.empty())
			answer = false;
		else
			seen.push_back(request);
		changed.notify_all();
	}
	if (answer)
	{
		setReadWait(socket, 0);
		const Reply reply = rule ? rule(request) : Reply();
		Connection connection(*this, socket);
		bool alive = true;
		if (reply.custom)
			reply.custom(connection);
		for (auto piece = reply.pieces.begin(); !reply.custom && alive && piece != reply.pieces.end(); ++piece)
			alive = connection.pause(piece->delayMs) && connection.write(piece->bytes);
		if (!reply.custom && alive && reply.stallAfter)
			connection.stall();
	}
	std::lock_guard<std::mutex> guard(lock);
	open.erase(socket);
	close(socket);
}

std::vector<std::string> FakeServer::requests() const
{
	std::lock_guard<std::mutex> guard(lock);
	return seen;
}

std::size_t FakeServer::connectionCount() const
{
	std::lock_guard<std::mutex> guard(lock);
	return accepted;
}

bool FakeServer::waitForRequests(std::size_t count, int timeoutMs) const
{
	std::unique_lock<std::mutex> guard(lock);
	return changed.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] { return seen.size() >= count; });
}

uint16_t FakeServer::freePort()
{
	UniqueFd probe(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
	sockaddr_in address{};
	address.sin_family = AF_INET;
	socklen_t length = sizeof address;
	// Bound and released at once: the kernel does not hand the port out again soon.
	if (!probe || bind(probe.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
		getsockname(probe.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
		return 0;
	return ntohs(address.sin_port);
}
