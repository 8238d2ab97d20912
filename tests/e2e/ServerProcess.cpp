#include "ServerProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace
{
const char* const serverBinary = OXLE_SERVER_BINARY;
const char* const loopback = "127.0.0.1";
// Starting takes well under a second; the limit only catches a server that never listens.
const auto readyLimit = std::chrono::seconds(15);
const auto stopLimit = std::chrono::seconds(5);
const auto pollInterval = std::chrono::milliseconds(20);
const int childSetupFailed = 127;

std::string slurp(const std::string& path)
{
	std::ifstream in(path, std::ios::binary);
	std::ostringstream text;
	text << in.rdbuf();
	return text.str();
}

// waitpid without blocking; true once the child is gone (reaped here).
bool reaped(pid_t pid)
{
	int status = 0;
	pid_t done = waitpid(pid, &status, WNOHANG);
	return done == pid || (done < 0 && errno == ECHILD);
}

bool waitGone(pid_t pid, std::chrono::steady_clock::duration limit)
{
	auto deadline = std::chrono::steady_clock::now() + limit;
	while (std::chrono::steady_clock::now() < deadline)
	{
		if (reaped(pid))
			return true;
		std::this_thread::sleep_for(pollInterval);
	}
	return false;
}
} // namespace

ServerProcess::ServerProcess(std::vector<std::string> extraArgs) : args(std::move(extraArgs))
{
	std::string templ = (std::filesystem::temp_directory_path() / "oxle-e2e-server-XXXXXX").string();
	if (mkdtemp(templ.data()))
		workDir = templ;
	readyPath = workDir + "/ready";
	logPath = workDir + "/server.log";
}

ServerProcess::~ServerProcess()
{
	stop();
	std::error_code ec;
	if (!workDir.empty())
		std::filesystem::remove_all(workDir, ec);
}

bool ServerProcess::start()
{
	if (workDir.empty())
	{
		failure = "no scratch folder for the server";
		return false;
	}
	std::vector<std::string> argv = {
		serverBinary, "--bind", loopback, "--port", "0", "--stream-port", "0", "--ready-file", readyPath, "--verbose"};
	argv.insert(argv.end(), args.begin(), args.end());
	std::vector<char*> cargv;
	for (std::string& a : argv)
		cargv.push_back(a.data());
	cargv.push_back(nullptr);

	pid = fork();
	if (pid < 0)
	{
		failure = "fork failed";
		return false;
	}
	if (pid == 0)
	{
		setpgid(0, 0);
		int out = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
		int in = open("/dev/null", O_RDONLY);
		if (out < 0 || in < 0)
			_exit(childSetupFailed);
		dup2(in, 0);
		dup2(out, 1);
		dup2(out, 2);
		execv(cargv[0], cargv.data());
		_exit(childSetupFailed);
	}
	// Also from this side, so that stop() finds the group even if the child has not
	// reached its own setpgid yet.
	setpgid(pid, pid);

	auto deadline = std::chrono::steady_clock::now() + readyLimit;
	while (std::chrono::steady_clock::now() < deadline)
	{
		if (readReadyFile())
			return true;
		if (reaped(pid))
		{
			pid = -1;
			failure = "oxle_x86 ended before it listened:\n" + log();
			return false;
		}
		std::this_thread::sleep_for(pollInterval);
	}
	failure = "oxle_x86 did not report its ports:\n" + log();
	stop();
	return false;
}

bool ServerProcess::readReadyFile()
{
	std::ifstream in(readyPath);
	int c = 0, s = 0;
	if (!(in >> c >> s) || c <= 0 || s <= 0)
		return false;
	command = uint16_t(c);
	stream = uint16_t(s);
	return true;
}

std::string ServerProcess::log() const
{
	return slurp(logPath);
}

size_t ServerProcess::requestsLogged(const std::string& request) const
{
	// A logged request stands in quotes: "VLC|STP|NO" is not counted in "VLC|STP|NOUP".
	const std::string text = log();
	const std::string quoted = "\"" + request + "\"";
	size_t n = 0;
	for (size_t at = text.find(quoted); at != std::string::npos; at = text.find(quoted, at + 1))
		++n;
	return n;
}

void ServerProcess::stop()
{
	if (pid <= 0)
		return;
	kill(pid, SIGTERM);
	if (!waitGone(pid, stopLimit))
	{
		kill(-pid, SIGKILL);
		waitGone(pid, stopLimit);
	}
	// A transcoder the server failed to end must not outlive the test.
	kill(-pid, SIGKILL);
	pid = -1;
}
