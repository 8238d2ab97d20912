#ifndef OXLE_TESTS_SUPPORT_SERVERPROCESS_H
#define OXLE_TESTS_SUPPORT_SERVERPROCESS_H

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "TempDir.h"

namespace oxle::server
{
class ChildProcess;
}

// The real PC-side server, oxle_x86, as a child process on 127.0.0.1 with ports the
// kernel picks, in a process group of its own that goes down when the object goes.
class ServerProcess
{
public:
	explicit ServerProcess(std::vector<std::string> extraArgs);
	~ServerProcess();
	ServerProcess(const ServerProcess&) = delete;
	ServerProcess& operator=(const ServerProcess&) = delete;

	// Starts the server and waits until it reports both ports; false with error() set
	// when it did not come up.
	bool start();
	const std::string& error() const { return failure; }
	uint16_t commandPort() const { return command; }
	uint16_t streamPort() const { return stream; }
	pid_t pid() const;
	// Standard output and error so far (it runs with --verbose: every request it saw).
	std::string log() const { return dir.read("server.log"); }
	// Asks the server to end (SIGTERM) and waits; kills the group when it does not.
	void stop();

private:
	std::vector<std::string> args;
	TempDir dir{"oxle-server"};
	std::unique_ptr<oxle::server::ChildProcess> child;
	uint16_t command = 0;
	uint16_t stream = 0;
	std::string failure;
};

#endif
