#ifndef OXLE_NET_ETCP_H
#define OXLE_NET_ETCP_H

#include <cstddef>

#include "eString.h"

struct sockaddr_in;

// The command channel to the PC-side server: one short TCP connection per request.
// Stateless; every call reads the server address and port from the configuration.
class eTCP
{
public:
	// Used when the configuration store has no address or port.
	static constexpr const char* DEFAULT_SERVER_IP = "192.168.0.10";
	static constexpr const char* DEFAULT_SERVER_PORT = "12050";

	// A server that does not accept within this time is unreachable.
	static constexpr int CONNECT_TIMEOUT_MS = 4000;
	// A server that sends no byte for this long is stuck.
	static constexpr int REPLY_SILENCE_MS = 10000;
	// The whole exchange, from the request on: a reply that trickles in is cut here, so
	// that no command holds the GUI thread longer than this.
	static constexpr int REPLY_TOTAL_MS = 10000;
	// A request sent without waiting for its answer still gets this long for the answer
	// to come: a live server has then done with it before the box goes on, a stuck one
	// costs no more.
	static constexpr int WITHOUT_REPLY_LINGER_MS = 500;
	// Anything larger is no listing but a runaway peer.
	static constexpr std::size_t MAX_REPLY_BYTES = 32u * 1024u * 1024u;

	static eTCP* getInstance();

	// Sends one request (or, with probe, only tries to connect) and returns the reply,
	// "+ok" or "+nok".
	eString sendGetRequest(
		eString group, eString command, eString argument, eString extra1, eString extra2, bool probe);
	eString sendCommand(eString group, eString command, eString argument, eString extra1, eString extra2, bool probe);
	eString handling(int socket, eString group, eString command, eString argument, eString extra1, eString extra2);
	// Sends the request and closes without reading the reply, for news the sender does
	// not wait for (the plugin going away, a stream the viewer ended). "+ok" once the
	// request went out, else "+nok".
	eString sendWithoutReply(eString group, eString command, eString argument, eString extra1, eString extra2);

	// Tests shorten the waits so that a silent peer does not cost them seconds.
	// Non-positive values restore the built-in constants. Safe from any thread.
	static void setTimeoutsForTesting(int connectTimeoutMs, int replySilenceMs, int replyTotalMs = 0);
	static int connectTimeoutMs();
	static int replySilenceMs();
	static int replyTotalMs();

private:
	eTCP() = default;

	eString probeConnect(int socket, const sockaddr_in& address, bool scan);
	bool connectBounded(int socket, const sockaddr_in& address);
};

#endif
