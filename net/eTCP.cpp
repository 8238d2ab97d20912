#include "eTCP.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "MonotonicMs.h"
#include "UniqueFd.h"
#include "eConfig.h"
#include "eDebug.h"
#include "eReplyBuffer.h"
#include "eTCPWire.h"
#include "oxleConfig.h"

namespace
{
const char SCAN_GROUP[] = "SCAN";
const char FAILED[] = "+nok";

// A server scan walks a whole subnet and must be quick per address; the start-up
// check gives one known server about a second.
const int SCAN_PROBE_TRIES = 10;
const int PROBE_TRIES = 100;
const useconds_t PROBE_PAUSE_US = 10000;

// Set by tests from any thread and read by every call: atomics, no lock.
std::atomic<int> connectTimeoutOverrideMs{0};
std::atomic<int> replySilenceOverrideMs{0};
std::atomic<int> replyTotalOverrideMs{0};

// Waits until fd is ready for events or timeoutMs pass; signals do not shorten the
// wait. Returns >0 when ready (or hung up), 0 on time-out, <0 on error.
int waitFor(int fd, short events, int timeoutMs)
{
	long long deadline = monotonicMs() + timeoutMs;
	for (;;)
	{
		long long left = deadline - monotonicMs();
		pollfd entry{fd, events, 0};
		int ready = poll(&entry, 1, left > 0 ? static_cast<int>(left) : 0);
		if (ready >= 0)
			return ready;
		if (errno != EINTR)
			return -1;
	}
}

// The kernel may take only part of a request; a peer that went away must cost a
// failed request, not the box (no SIGPIPE). A peer that takes nothing for silenceMs, or
// has not taken it all by deadline, is stuck.
bool sendAll(int socket, const eString& data, int silenceMs, long long deadline)
{
	std::size_t sent = 0;
	while (sent < data.size())
	{
		ssize_t n = send(socket, data.data() + sent, data.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
		if (n > 0)
		{
			sent += static_cast<std::size_t>(n);
			continue;
		}
		if (n < 0 && errno == EINTR)
			continue;
		if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
		{
			long long left = deadline - monotonicMs();
			int waitMs = left < silenceMs ? static_cast<int>(left > 0 ? left : 0) : silenceMs;
			int ready = waitFor(socket, POLLOUT, waitMs);
			if (ready > 0)
				continue;
			if (ready == 0)
				eDebug("request not taken within %d ms", waitMs);
			return false;
		}
		eDebug("send failed: %s", strerror(errno));
		return false;
	}
	return true;
}

// The configured server, or for a scan the address in command (the port stays the
// configured one).
sockaddr_in serverAddress(const eString& group, const eString& command)
{
	eString ip = configString(OXLE_KEY("serverip"), eTCP::DEFAULT_SERVER_IP);
	eString port = configString(OXLE_KEY("serverport"), eTCP::DEFAULT_SERVER_PORT);
	if (group == SCAN_GROUP)
		ip = command;

	sockaddr_in address{};
	address.sin_family = AF_INET;
	address.sin_port = htons(static_cast<uint16_t>(atoi(port.c_str())));
	address.sin_addr.s_addr = inet_addr(ip.c_str());
	return address;
}
} // namespace

eTCP* eTCP::getInstance()
{
	static eTCP* instance = new eTCP();
	return instance;
}

void eTCP::setTimeoutsForTesting(int connectTimeoutMs, int replySilenceMs, int replyTotalMs)
{
	connectTimeoutOverrideMs.store(connectTimeoutMs > 0 ? connectTimeoutMs : 0);
	replySilenceOverrideMs.store(replySilenceMs > 0 ? replySilenceMs : 0);
	replyTotalOverrideMs.store(replyTotalMs > 0 ? replyTotalMs : 0);
}

int eTCP::connectTimeoutMs()
{
	int overrideMs = connectTimeoutOverrideMs.load();
	return overrideMs > 0 ? overrideMs : CONNECT_TIMEOUT_MS;
}

int eTCP::replySilenceMs()
{
	int overrideMs = replySilenceOverrideMs.load();
	return overrideMs > 0 ? overrideMs : REPLY_SILENCE_MS;
}

int eTCP::replyTotalMs()
{
	int overrideMs = replyTotalOverrideMs.load();
	return overrideMs > 0 ? overrideMs : REPLY_TOTAL_MS;
}

eString eTCP::sendGetRequest(
	eString group, eString command, eString argument, eString extra1, eString extra2, bool probe)
{
	return sendCommand(group, command, argument, extra1, extra2, probe);
}

eString eTCP::sendCommand(eString group, eString command, eString argument, eString extra1, eString extra2, bool probe)
{
	sockaddr_in address = serverAddress(group, command);
	UniqueFd sock(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
	if (!sock)
	{
		perror("socket failed()");
		return FAILED;
	}

	if (probe)
		return probeConnect(sock.get(), address, group == SCAN_GROUP);

	if (!connectBounded(sock.get(), address))
	{
		eDebug("connect failed()");
		return FAILED;
	}
	eString result = handling(sock.get(), group, command, argument, extra1, extra2);
	if (result == FAILED)
		eDebug("error in connection\n");
	return result;
}

eString eTCP::sendWithoutReply(eString group, eString command, eString argument, eString extra1, eString extra2)
{
	sockaddr_in address = serverAddress(group, command);
	UniqueFd sock(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
	if (!sock)
	{
		perror("socket failed()");
		return FAILED;
	}
	if (!connectBounded(sock.get(), address))
	{
		eDebug("connect failed()");
		return FAILED;
	}
	long long deadline = monotonicMs() + replyTotalMs();
	if (!sendAll(sock.get(), buildRequestWire(group, command, argument, extra1, extra2), replySilenceMs(), deadline))
	{
		eDebug("error in connection\n");
		return FAILED;
	}
	// The end of the request, as the server would see it from a box that waits. A reply
	// that comes after the linger meets a closed socket, which the server takes in its
	// stride.
	shutdown(sock.get(), SHUT_WR);
	waitFor(sock.get(), POLLIN, WITHOUT_REPLY_LINGER_MS);
	return "+ok";
}

eString eTCP::probeConnect(int socket, const sockaddr_in& address, bool scan)
{
	fcntl(socket, F_SETFL, fcntl(socket, F_GETFL, 0) | O_NONBLOCK);
	int left = scan ? SCAN_PROBE_TRIES : PROBE_TRIES;
	while (left > 0)
	{
		// Linux answers a repeated non-blocking connect with 0 once the handshake is done.
		int rc = connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address);
		if (rc == 0 || errno == EISCONN)
		{
			eDebug("connect ok!");
			return "+ok";
		}
		--left;
		eDebug("nomma versuchen, übrig: %d", left);
		if (left > 0)
			usleep(PROBE_PAUSE_US);
	}
	eDebug("connect failed()");
	return FAILED;
}

// A server that swallows the handshake would otherwise hold the caller (mostly the GUI
// thread) for the kernel's own time-out of minutes.
bool eTCP::connectBounded(int socket, const sockaddr_in& address)
{
	fcntl(socket, F_SETFL, fcntl(socket, F_GETFL, 0) | O_NONBLOCK);
	if (connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
		return true;
	if (errno != EINPROGRESS && errno != EINTR)
		return false;
	int timeoutMs = connectTimeoutMs();
	int ready = waitFor(socket, POLLOUT, timeoutMs);
	if (ready == 0)
		eDebug("no connection within %d ms", timeoutMs);
	if (ready <= 0)
		return false;
	int error = 0;
	socklen_t length = sizeof error;
	if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
		return false;
	return error == 0;
}

eString eTCP::handling(int socket, eString group, eString command, eString argument, eString extra1, eString extra2)
{
	int silenceMs = replySilenceMs();
	int totalMs = replyTotalMs();
	long long deadline = monotonicMs() + totalMs;
	if (!sendAll(socket, buildRequestWire(group, command, argument, extra1, extra2), silenceMs, deadline))
		return FAILED;

	eReplyBuffer reply(MAX_REPLY_BYTES);
	for (;;)
	{
		long long left = deadline - monotonicMs();
		bool cutByTotal = left < silenceMs;
		int ready = left > 0 ? waitFor(socket, POLLIN, cutByTotal ? static_cast<int>(left) : silenceMs) : 0;
		if (ready == 0)
		{
			if (cutByTotal)
				eDebug("reply cut %d ms after the request", totalMs);
			else
				eDebug("no reply byte for %d ms", silenceMs);
			// A server that sent nothing at all failed; one that sent part of its reply
			// and then stalled gets it used as if it had closed there: a whole listing
			// from a server that forgets to close is still the listing.
			if (reply.received() == 0)
				return FAILED;
			break;
		}
		if (ready < 0)
			break;
		std::size_t room = 0;
		char* into = reply.space(room);
		ssize_t n = recv(socket, into, room, MSG_DONTWAIT);
		if (n == 0)
			break;
		if (n < 0)
		{
			if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
				continue;
			// What arrived before a receive error is the reply.
			break;
		}
		if (!reply.commit(static_cast<std::size_t>(n)))
		{
			eDebug("reply exceeds %zu bytes", MAX_REPLY_BYTES);
			return FAILED;
		}
	}
	return applyReplyRules(command, reply.take());
}
