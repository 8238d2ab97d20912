// The stream server other areas build their engine tests on: what a client sees of it.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FakeHttpStream.h"
#include "FakeServer.h"

namespace
{
const char STREAM_REQUEST[] = "GET /dboxstream HTTP/1.0\r\n\r\n";
// How long a client waits for the next byte before it calls the server silent.
const int CLIENT_IDLE_MS = 300;

struct Exchange
{
	std::string bytes;
	bool closedByServer = false;
};

// Sends request to 127.0.0.1:port and reads until the server closes or stays silent.
Exchange exchange(uint16_t port, const std::string& request)
{
	Exchange result;
	int sock = socket(AF_INET, SOCK_STREAM, 0);
	sockaddr_in address{};
	address.sin_family = AF_INET;
	address.sin_port = htons(port);
	address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
	if (connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
		send(sock, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size()))
	{
		close(sock);
		return result;
	}
	char chunk[65536];
	for (;;)
	{
		pollfd entry{sock, POLLIN, 0};
		if (poll(&entry, 1, CLIENT_IDLE_MS) <= 0)
			break;
		ssize_t n = recv(sock, chunk, sizeof chunk, 0);
		if (n <= 0)
		{
			result.closedByServer = true;
			break;
		}
		result.bytes.append(chunk, static_cast<std::size_t>(n));
	}
	close(sock);
	return result;
}

TEST(FakeHttpStream, AnswersTheStreamRequestAsScripted)
{
	std::string packet(188, '\0');
	packet[0] = 0x47;
	struct Case
	{
		const char* name;
		FakeHttpStream::Script script;
		std::string request;
		std::string expected;
		bool closes;
	};
	FakeHttpStream::Script plain;
	plain.body = packet;
	plain.loops = 50;
	plain.chunkBytes = 1000;
	plain.gapMs = 2;

	FakeHttpStream::Script silent = plain;
	silent.statusLine = "HTTP/1.1 200 OK";
	silent.headerLines = "Content-Type: video/mp2t\r\n";
	silent.bodyWithHeader = 376;
	silent.end = FakeHttpStream::End::Silent;

	FakeHttpStream::Script mute;
	mute.statusLine = "";
	mute.end = FakeHttpStream::End::Silent;

	std::string fifty;
	for (int i = 0; i < 50; ++i)
		fifty += packet;
	const std::vector<Case> cases = {
		{"plain", plain, STREAM_REQUEST, "HTTP/1.0 200 OK\r\n\r\n" + fifty, true},
		{"silent", silent, STREAM_REQUEST, "HTTP/1.1 200 OK\r\nContent-Type: video/mp2t\r\n\r\n" + fifty, false},
		{"mute", mute, STREAM_REQUEST, "", false},
		{"other path", plain, "GET /other HTTP/1.0\r\n\r\n", "HTTP/1.0 404 Not Found\r\n\r\n", true},
	};
	for (const Case& c : cases)
	{
		FakeHttpStream stream(c.script);
		ASSERT_TRUE(stream.ok()) << c.name;
		Exchange seen = exchange(stream.port(), c.request);
		EXPECT_TRUE(seen.bytes == c.expected) << c.name << ": " << seen.bytes.size() << " bytes";
		EXPECT_EQ(seen.closedByServer, c.closes) << c.name;
		EXPECT_EQ(stream.requests(), std::vector<std::string>{c.request}) << c.name;
	}
}

TEST(FakeServer, StopEndsStalledConnections)
{
	FakeServer server([](const std::string&) { return FakeServer::Reply::stall(); });
	ASSERT_TRUE(server.ok()) << server.error();
	int sock = socket(AF_INET, SOCK_STREAM, 0);
	sockaddr_in address{};
	address.sin_family = AF_INET;
	address.sin_port = htons(server.port());
	address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
	ASSERT_EQ(connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
	ASSERT_EQ(send(sock, "VLC|STA|NO", 10, MSG_NOSIGNAL), 10);
	ASSERT_TRUE(server.waitForRequests(1, 5000));
	server.stop();
	// The server's side is closed now: the client reads the end of the stream.
	char byte;
	pollfd entry{sock, POLLIN, 0};
	ASSERT_EQ(poll(&entry, 1, 5000), 1);
	EXPECT_EQ(recv(sock, &byte, 1, 0), 0);
	close(sock);
	EXPECT_EQ(server.requests(), std::vector<std::string>{"VLC|STA|NO"});
}
} // namespace
