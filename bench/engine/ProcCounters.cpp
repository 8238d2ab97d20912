#include "ProcCounters.h"

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

extern char** environ;

namespace
{
std::string firstLine(const std::string& path)
{
	std::string line;
	std::ifstream in(path);
	std::getline(in, line);
	return line;
}
} // namespace

TaskCounters taskCounters(const std::string& procDir, const std::string& name)
{
	TaskCounters total;
	std::string taskDir = procDir + "/task";
	DIR* tasks = opendir(taskDir.c_str());
	if (!tasks)
		return total;
	while (dirent* entry = readdir(tasks))
	{
		if (entry->d_name[0] == '.')
			continue;
		std::string base = taskDir + "/" + entry->d_name;
		if (!name.empty() && firstLine(base + "/comm") != name)
			continue;
		long long ns = 0;
		std::ifstream(base + "/schedstat") >> ns;
		total.cpuNs += ns;
		std::string stat = firstLine(base + "/stat");
		size_t close = stat.rfind(')');
		if (close != std::string::npos)
		{
			std::istringstream fields(stat.substr(close + 2));
			std::string field;
			// minflt is the 10th field; the first after the name is the 3rd.
			for (int i = 3; i <= 10 && fields >> field; ++i)
				if (i == 10)
					total.minorFaults += atoll(field.c_str());
		}
		std::ifstream status(base + "/status");
		std::string line;
		while (std::getline(status, line))
			if (line.rfind("voluntary_ctxt_switches:", 0) == 0 || line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
				total.wakeups += atoll(line.substr(line.find(':') + 1).c_str());
	}
	closedir(tasks);
	return total;
}

long long statusKb(const char* field)
{
	std::ifstream status("/proc/self/status");
	std::string line;
	const std::string key = std::string(field) + ":";
	while (std::getline(status, line))
		if (line.rfind(key, 0) == 0)
			return atoll(line.substr(key.size()).c_str());
	return -1;
}

std::string loadAverage()
{
	std::istringstream fields(firstLine("/proc/loadavg"));
	std::string a, b, c;
	fields >> a >> b >> c;
	return a + " " + b + " " + c;
}

TaskCounters minus(const TaskCounters& a, const TaskCounters& b)
{
	return {a.cpuNs - b.cpuNs, a.minorFaults - b.minorFaults, a.wakeups - b.wakeups};
}

pid_t spawnCurl(const std::vector<std::string>& args)
{
	std::vector<char*> argv;
	for (const std::string& a : args)
		argv.push_back(const_cast<char*>(a.c_str()));
	argv.push_back(nullptr);
	posix_spawn_file_actions_t actions;
	posix_spawn_file_actions_init(&actions);
	posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
	pid_t pid = -1;
	if (posix_spawnp(&pid, "curl", &actions, nullptr, argv.data(), environ) != 0)
		pid = -1;
	posix_spawn_file_actions_destroy(&actions);
	return pid;
}
