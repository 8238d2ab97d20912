#ifndef OXLE_TESTS_E2E_SERVERPROCESS_H
#define OXLE_TESTS_E2E_SERVERPROCESS_H

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

// The real PC-side server, oxle_x86, as a child process on 127.0.0.1 with ports the
// kernel picks. It runs in a process group of its own so that a transcoder it started
// goes down with it when a test ends.
//
//   ServerProcess server({"--root", mediaDir});
//   ASSERT_TRUE(server.start()) << server.error();
//   ... --set /enigma/plugins/oxle/serverport=s:<server.commandPort()> ...
class ServerProcess
{
public:
	explicit ServerProcess(std::vector<std::string> extraArgs);
	~ServerProcess();
	ServerProcess(const ServerProcess&) = delete;
	ServerProcess& operator=(const ServerProcess&) = delete;

	// Starts the server and waits until both ports listen; false with error() set when
	// it did not come up.
	bool start();
	const std::string& error() const { return failure; }
	uint16_t commandPort() const { return command; }
	uint16_t streamPort() const { return stream; }
	// What the server wrote to standard output and error so far (--verbose: every
	// request it saw).
	std::string log() const;
	// How many times the server logged the request (the wire text, e.g. "VLC|PAU|NO").
	size_t requestsLogged(const std::string& request) const;
	// Asks the server to stop and waits for it; idempotent.
	void stop();

private:
	bool readReadyFile();

	std::vector<std::string> args;
	std::string workDir;
	std::string readyPath;
	std::string logPath;
	pid_t pid = -1;
	uint16_t command = 0;
	uint16_t stream = 0;
	std::string failure;
};

#endif
