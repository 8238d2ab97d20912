// showiframe FILE: asks the running desktop box to show an MPEG-2 still. It lives at
// ROOT/var/bin/showiframe and finds the box's socket under the same ROOT.

#include "FdIo.h"
#include "ShowIframeProtocol.h"
#include "UniqueFd.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace
{
// Decoding one still takes milliseconds; a box that has not answered in this time is stuck.
const int answerTimeoutMs = 10000;

std::string toolPath(const char* argv0)
{
	std::string p = argv0 ? argv0 : "";
	if (p.find('/') != std::string::npos)
		return p;
	// Started through PATH: only the executable's own location is left to go by.
	char self[PATH_MAX];
	ssize_t n = readlink("/proc/self/exe", self, sizeof(self) - 1);
	if (n <= 0)
		return p;
	return std::string(self, size_t(n));
}

std::string absolute(const std::string& file)
{
	if (!file.empty() && file[0] == '/')
		return file;
	// The box runs in a directory of its own: relative paths mean ours.
	char cwd[PATH_MAX];
	if (!getcwd(cwd, sizeof(cwd)))
		return file;
	return std::string(cwd) + "/" + file;
}
} // namespace

int main(int argc, char** argv)
{
	if (argc != 2)
	{
		fprintf(stderr, "usage: showiframe FILE\n");
		return EXIT_FAILURE;
	}
	std::string file = absolute(argv[1]);
	if (file.size() > size_t(ShowIframeProtocol::maxRequest))
	{
		fprintf(stderr, "showiframe: path too long\n");
		return EXIT_FAILURE;
	}
	std::string where = ShowIframeProtocol::socketPath(ShowIframeProtocol::rootOfTool(toolPath(argv[0])));
	sockaddr_un box;
	memset(&box, 0, sizeof(box));
	box.sun_family = AF_UNIX;
	if (where.size() >= sizeof(box.sun_path))
	{
		fprintf(stderr, "showiframe: socket path too long: %s\n", where.c_str());
		return EXIT_FAILURE;
	}
	memcpy(box.sun_path, where.c_str(), where.size() + 1);

	const UniqueFd s(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
	// Binding only the family gives us an abstract name of our own, for the answer.
	sockaddr_un self;
	memset(&self, 0, sizeof(self));
	self.sun_family = AF_UNIX;
	if (!s || bind(s.get(), reinterpret_cast<sockaddr*>(&self), sizeof(sa_family_t)) != 0)
	{
		fprintf(stderr, "showiframe: no socket: %s\n", strerror(errno));
		return EXIT_FAILURE;
	}
	if (sendto(s.get(), file.data(), file.size(), 0, reinterpret_cast<sockaddr*>(&box), sizeof(box)) < 0)
	{
		fprintf(stderr, "showiframe: no box listens on %s (%s)\n", where.c_str(), strerror(errno));
		return EXIT_FAILURE;
	}
	char reply = 0;
	if (!fdio::waitReady(s.get(), POLLIN, answerTimeoutMs) || recv(s.get(), &reply, 1, 0) != 1)
	{
		fprintf(stderr, "showiframe: the box did not answer\n");
		return EXIT_FAILURE;
	}
	if (reply != ShowIframeProtocol::replyShown)
	{
		fprintf(stderr, "showiframe: the box could not show %s\n", file.c_str());
		return EXIT_FAILURE;
	}
	return EXIT_SUCCESS;
}
