#include "FakeServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace
{
const int LISTEN_BACKLOG = 64;
const std::size_t READ_CHUNK_BYTES = 4096;
// How long one accept wait lasts before the stop flag is looked at again; stop() also
// wakes it at once, this is only a safety net.
const int ACCEPT_POLL_MS = 200;

long long monotonicMs()
{
	using namespace std::chrono;
	return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
} // namespace

FakeServer::Reply FakeServer::Reply::text(std::string bytes, int delayMs)
{
	Reply reply;
	reply.pieces.push_back(Piece{delayMs, std::move(bytes)});
	return reply;
}

FakeServer::Reply FakeServer::Reply::closeWithoutReply()
{
	return Reply();
}

FakeServer::Reply FakeServer::Reply::stall()
{
	Reply reply;
	reply.stallAfter = true;
	return reply;
}

FakeServer::Reply FakeServer::Reply::slowly(const std::string& bytes, std::size_t pieceBytes, int gapMs)
{
	Reply reply;
	if (pieceBytes == 0)
		pieceBytes = 1;
	for (std::size_t at = 0; at < bytes.size(); at += pieceBytes)
		reply.pieces.push_back(Piece{at == 0 ? 0 : gapMs, bytes.substr(at, pieceBytes)});
	return reply;
}

bool FakeServer::Connection::write(const std::string& bytes)
{
	std::size_t sent = 0;
	while (sent < bytes.size())
	{
		ssize_t n = send(socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
		if (n > 0)
		{
			sent += static_cast<std::size_t>(n);
			written += static_cast<std::size_t>(n);
			continue;
		}
		if (n < 0 && errno == EINTR)
			continue;
		if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
		{
			// A client that stops reading holds us here until it closes or we stop.
			if (server.waitOn(socket, POLLOUT, -1) <= 0)
				return false;
			continue;
		}
		return false;
	}
	return true;
}

bool FakeServer::Connection::pause(int ms)
{
	if (ms <= 0)
		return !server.stopping.load();
	return server.waitOn(-1, 0, ms) == 0;
}

void FakeServer::Connection::stall()
{
	char sink[READ_CHUNK_BYTES];
	for (;;)
	{
		if (server.waitOn(socket, POLLIN, -1) <= 0)
			return;
		ssize_t n = recv(socket, sink, sizeof sink, MSG_DONTWAIT);
		if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK))
			return;
	}
}

FakeServer::FakeServer(Rule rule) : FakeServer(std::move(rule), Options())
{
}

FakeServer::FakeServer(Rule rule, Options options) : rule(std::move(rule)), options(std::move(options))
{
	wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
	int sock = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
	if (wakeFd < 0 || sock < 0)
	{
		setupError = std::string("socket: ") + strerror(errno);
		if (sock >= 0)
			close(sock);
		return;
	}
	int yes = 1;
	setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
	sockaddr_in address{};
	address.sin_family = AF_INET;
	address.sin_port = htons(this->options.port);
	if (inet_pton(AF_INET, this->options.bindAddress.c_str(), &address.sin_addr) != 1)
	{
		setupError = "bad bind address: " + this->options.bindAddress;
		close(sock);
		return;
	}
	socklen_t length = sizeof address;
	if (bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(sock, LISTEN_BACKLOG) != 0 ||
		getsockname(sock, reinterpret_cast<sockaddr*>(&address), &length) != 0)
	{
		setupError = std::string("bind/listen: ") + strerror(errno);
		close(sock);
		return;
	}
	boundPort = ntohs(address.sin_port);
	listenSocket = sock;
	acceptThread = std::thread([this] { acceptLoop(); });
}

FakeServer::~FakeServer()
{
	stop();
	if (wakeFd >= 0)
		close(wakeFd);
}

void FakeServer::stop()
{
	if (!stopping.exchange(true) && wakeFd >= 0)
	{
		uint64_t one = 1;
		ssize_t ignored = ::write(wakeFd, &one, sizeof one);
		(void)ignored;
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
	if (listenSocket >= 0)
	{
		close(listenSocket);
		listenSocket = -1;
	}
}

int FakeServer::waitOn(int socket, short events, int timeoutMs) const
{
	long long deadline = timeoutMs < 0 ? 0 : monotonicMs() + timeoutMs;
	for (;;)
	{
		if (stopping.load())
			return -1;
		pollfd entries[2] = {{wakeFd, POLLIN, 0}, {socket, events, 0}};
		int wait = -1;
		if (timeoutMs >= 0)
		{
			long long left = deadline - monotonicMs();
			wait = left > 0 ? static_cast<int>(left) : 0;
		}
		int ready = poll(entries, socket >= 0 ? 2 : 1, wait);
		if (ready < 0 && errno == EINTR)
			continue;
		if (ready < 0 || (entries[0].revents & POLLIN))
			return -1;
		if (ready == 0)
			return 0;
		return 1;
	}
}

void FakeServer::acceptLoop()
{
	while (!stopping.load())
	{
		int ready = waitOn(listenSocket, POLLIN, ACCEPT_POLL_MS);
		if (ready < 0)
			return;
		if (ready == 0)
			continue;
		int client = accept4(listenSocket, nullptr, nullptr, SOCK_CLOEXEC);
		if (client < 0)
			continue;
		std::lock_guard<std::mutex> guard(lock);
		++accepted;
		workers.emplace_back([this, client] { serve(client); });
	}
}

std::string FakeServer::readRequest(int socket, bool& clientClosed)
{
	std::string bytes;
	char chunk[READ_CHUNK_BYTES];
	clientClosed = false;
	for (;;)
	{
		// Before the first byte the client may take its time; after it, a pause ends
		// the request.
		int ready = waitOn(socket, POLLIN, bytes.empty() ? -1 : options.idleMs);
		if (ready <= 0)
			return bytes;
		ssize_t n = recv(socket, chunk, sizeof chunk, MSG_DONTWAIT);
		if (n == 0)
		{
			clientClosed = true;
			return bytes;
		}
		if (n < 0)
		{
			if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
				continue;
			clientClosed = true;
			return bytes;
		}
		bytes.append(chunk, static_cast<std::size_t>(n));
		if (options.isComplete && options.isComplete(bytes))
			return bytes;
	}
}

void FakeServer::record(const std::string& request)
{
	std::lock_guard<std::mutex> guard(lock);
	seen.push_back(request);
	changed.notify_all();
}

void FakeServer::serve(int socket)
{
	bool clientClosed = false;
	std::string request = readRequest(socket, clientClosed);
	if (stopping.load() && request.empty())
	{
		close(socket);
		return;
	}
	record(request);
	if (!(clientClosed && request.empty()))
	{
		Reply reply = rule ? rule(request) : Reply();
		Connection connection(*this, socket);
		if (reply.custom)
		{
			reply.custom(connection);
		}
		else
		{
			bool open = true;
			for (const Piece& piece : reply.pieces)
			{
				if (!connection.pause(piece.delayMs) || !connection.write(piece.bytes))
				{
					open = false;
					break;
				}
			}
			if (open && reply.stallAfter)
				connection.stall();
		}
	}
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
