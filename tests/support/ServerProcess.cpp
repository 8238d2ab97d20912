#include "ServerProcess.h"

#include <signal.h>

#include <sstream>
#include <thread>

#include "MonotonicMs.h"
#include "server/ChildProcess.h"

using oxle::server::ChildProcess;

namespace
{
// Starting takes well under a second; the limit only catches a server that never listens.
const long long READY_LIMIT_MS = 15000;
const int STOP_LIMIT_MS = 5000;
const int POLL_MS = 20;
} // namespace

ServerProcess::ServerProcess(std::vector<std::string> extraArgs) : args(std::move(extraArgs))
{
}

ServerProcess::~ServerProcess()
{
	stop();
}

pid_t ServerProcess::pid() const
{
	return child ? child->pid() : -1;
}

bool ServerProcess::start()
{
	child = std::make_unique<ChildProcess>();
	ChildProcess::Launch launch;
	// An empty --config keeps an installed server's configuration out of the test.
	launch.argv = {OXLE_SERVER_BINARY, "--config", "", "--bind", "127.0.0.1", "--port", "0", "--stream-port", "0",
		"--ready-file", dir / "ready", "--verbose"};
	launch.argv.insert(launch.argv.end(), args.begin(), args.end());
	const std::string logFile = dir.file("server.log");
	launch.output = ChildProcess::Stream::file(logFile, true);
	launch.errors = ChildProcess::Stream::file(logFile, true);
	if (!dir.ok() || !child->start(launch, failure))
	{
		failure = "oxle_x86 did not start: " + failure;
		return false;
	}
	for (const long long deadline = monotonicMs() + READY_LIMIT_MS; monotonicMs() < deadline;)
	{
		int c = 0, s = 0;
		if (std::istringstream(dir.read("ready")) >> c >> s && c > 0 && s > 0)
		{
			command = static_cast<uint16_t>(c);
			stream = static_cast<uint16_t>(s);
			return true;
		}
		if (child->exited())
		{
			failure = "oxle_x86 ended before it listened:\n" + log();
			return false;
		}
		std::this_thread::sleep_for(std::chrono::milliseconds(POLL_MS));
	}
	failure = "oxle_x86 did not report its ports:\n" + log();
	stop();
	return false;
}

void ServerProcess::stop()
{
	if (!child)
		return;
	int status = 0;
	child->signalProcess(SIGTERM);
	child->waitFor(STOP_LIMIT_MS, status);
	child.reset();
}
