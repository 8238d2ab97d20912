#include "BoxProcess.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <signal.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

const char* const boxBinary = OXLE_BOX_BINARY;
const char* const fixturePlugin = OXLE_FIXTURE_PLUGIN;

namespace
{
// Far longer than any run here takes; only a hang reaches it.
const auto safetyLimit = std::chrono::seconds(60);
const auto pollInterval = std::chrono::milliseconds(10);
const char* const watchdogSeconds = "45";

std::string slurp(const std::string& path)
{
	std::ifstream in(path, std::ios::binary);
	std::ostringstream text;
	text << in.rdbuf();
	return text.str();
}
} // namespace

ScratchDir::ScratchDir()
{
	std::string templ = (std::filesystem::temp_directory_path() / "oxle-box-test-XXXXXX").string();
	if (mkdtemp(templ.data()))
		dir = templ;
}

ScratchDir::~ScratchDir()
{
	std::error_code ec;
	if (!dir.empty())
		std::filesystem::remove_all(dir, ec);
}

std::string ScratchDir::write(const std::string& name, const std::string& contents) const
{
	std::string path = *this / name;
	std::ofstream out(path, std::ios::binary);
	out << contents;
	return path;
}

BoxRun runBox(const BoxCall& call)
{
	BoxRun run;
	ScratchDir io;
	const std::string outPath = io / "output";
	const std::string inPath = io.write("input", call.stdinText);

	std::vector<std::string> env;
	for (char** e = environ; *e; ++e)
	{
		std::string entry = *e;
		std::string name = entry.substr(0, entry.find('='));
		bool drop = call.setEnv.count(name) > 0;
		for (const std::string& u : call.unsetEnv)
			drop = drop || u == name;
		if (!drop)
			env.push_back(entry);
	}
	for (const auto& kv : call.setEnv)
		env.push_back(kv.first + "=" + kv.second);

	std::vector<std::string> argv = {boxBinary};
	argv.insert(argv.end(), call.args.begin(), call.args.end());
	std::vector<char*> cargv, cenv;
	for (std::string& a : argv)
		cargv.push_back(a.data());
	cargv.push_back(nullptr);
	for (std::string& e : env)
		cenv.push_back(e.data());
	cenv.push_back(nullptr);

	pid_t pid = fork();
	if (pid < 0)
		return run;
	if (pid == 0)
	{
		int in = open(inPath.c_str(), O_RDONLY);
		int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
		if (in < 0 || out < 0)
			_exit(127);
		dup2(in, 0);
		dup2(out, 1);
		dup2(out, 2);
		execve(cargv[0], cargv.data(), cenv.data());
		_exit(127);
	}

	auto deadline = std::chrono::steady_clock::now() + safetyLimit;
	int status = 0;
	for (;;)
	{
		pid_t done = waitpid(pid, &status, WNOHANG);
		if (done == pid)
			break;
		if (done < 0 && errno != EINTR)
			return run;
		if (std::chrono::steady_clock::now() > deadline)
		{
			kill(pid, SIGKILL);
			waitpid(pid, &status, 0);
			run.output = slurp(outPath) + "\n[killed: ran past the test's safety limit]";
			return run;
		}
		std::this_thread::sleep_for(pollInterval);
	}
	run.output = slurp(outPath);
	if (WIFEXITED(status))
		run.exitCode = WEXITSTATUS(status);
	return run;
}

BoxRun runBox(const std::vector<std::string>& args)
{
	BoxCall call;
	call.args = args;
	return runBox(call);
}

std::vector<std::string> fixtureArgs(const ScratchDir& dir)
{
	return {"--plugin", fixturePlugin, "--root", dir / "root", "--journal", dir / "journal.jsonl", "--timeout",
		watchdogSeconds, "--decoder", "fast"};
}

std::vector<nlohmann::json> readJournal(const std::string& path)
{
	std::vector<nlohmann::json> lines;
	std::ifstream in(path);
	std::string line;
	while (std::getline(in, line))
	{
		if (line.empty())
			continue;
		nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
		lines.push_back(j);
	}
	return lines;
}

std::vector<nlohmann::json> eventsOf(const std::vector<nlohmann::json>& journal, const std::string& ev)
{
	std::vector<nlohmann::json> out;
	for (const nlohmann::json& j : journal)
		if (j.is_object() && j.value("ev", "") == ev)
			out.push_back(j);
	return out;
}
