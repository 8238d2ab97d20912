#include "ShowIframeListener.h"

#include "ShowIframeProtocol.h"
#include "VirtualDecoder.h"
#include "eDebug.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace
{
const mode_t dirMode = 0755;

bool makeDirectory(const std::string& dir)
{
	if (mkdir(dir.c_str(), dirMode) == 0 || errno == EEXIST)
		return true;
	eWarning("[showiframe] cannot make %s: %s", dir.c_str(), strerror(errno));
	return false;
}

bool fillAddress(const std::string& path, sockaddr_un& addr)
{
	memset(&addr, 0, sizeof(addr));
	addr.sun_family = AF_UNIX;
	if (path.size() >= sizeof(addr.sun_path))
		return false;
	memcpy(addr.sun_path, path.c_str(), path.size() + 1);
	return true;
}

// Whether some process already serves the socket at addr.
bool somebodyListens(const sockaddr_un& addr)
{
	const UniqueFd probe(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
	return probe && connect(probe.get(), reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) == 0;
}
} // namespace

ShowIframeListener::~ShowIframeListener()
{
	stop();
}

bool ShowIframeListener::start(const std::string& rootDir)
{
	if (sock)
	{
		eWarning("[showiframe] already listening on %s", path.c_str());
		return false;
	}
	std::string root = rootDir.empty() ? "/" : rootDir;
	std::string prefix = root == "/" ? std::string() : root;
	if (!makeDirectory(prefix + "/var") || !makeDirectory(prefix + "/var/run"))
		return false;
	std::string where = ShowIframeProtocol::socketPath(root);
	sockaddr_un addr;
	if (!fillAddress(where, addr))
	{
		eWarning("[showiframe] socket path too long: %s", where.c_str());
		return false;
	}
	struct stat st;
	if (lstat(where.c_str(), &st) == 0)
	{
		if (!S_ISSOCK(st.st_mode))
		{
			eWarning("[showiframe] %s exists and is not a socket", where.c_str());
			return false;
		}
		if (somebodyListens(addr))
		{
			eWarning("[showiframe] another box serves %s", where.c_str());
			return false;
		}
		unlink(where.c_str()); // left behind by a box that did not end cleanly
	}
	UniqueFd listening(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
	if (!listening || bind(listening.get(), reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) != 0)
	{
		eWarning("[showiframe] cannot listen on %s: %s", where.c_str(), strerror(errno));
		return false;
	}
	int ends[2];
	if (pipe2(ends, O_CLOEXEC) != 0)
	{
		eWarning("[showiframe] cannot make a wake-up pipe: %s", strerror(errno));
		unlink(where.c_str());
		return false;
	}
	wakeRead.reset(ends[0]);
	wakeWrite.reset(ends[1]);
	sock = std::move(listening);
	path = where;
	server = std::thread([this] { run(); });
	return true;
}

void ShowIframeListener::stop()
{
	if (!sock)
		return;
	const char byte = 1;
	if (write(wakeWrite.get(), &byte, 1) < 0)
		eDebug("[showiframe] wake-up failed: %s", strerror(errno));
	server.join();
	sock.reset();
	wakeRead.reset();
	wakeWrite.reset();
	unlink(path.c_str());
}

void ShowIframeListener::run()
{
	std::vector<char> buffer(ShowIframeProtocol::maxRequest + 1);
	for (;;)
	{
		pollfd fds[] = {{sock.get(), POLLIN, 0}, {wakeRead.get(), POLLIN, 0}};
		if (poll(fds, std::size(fds), -1) < 0)
		{
			if (errno == EINTR)
				continue;
			eWarning("[showiframe] poll failed: %s", strerror(errno));
			return;
		}
		if (fds[1].revents)
			return;
		if (!(fds[0].revents & POLLIN))
			continue;
		sockaddr_un from;
		socklen_t fromLength = sizeof(from);
		ssize_t n = recvfrom(sock.get(), buffer.data(), ShowIframeProtocol::maxRequest, 0,
			reinterpret_cast<sockaddr*>(&from), &fromLength);
		if (n <= 0)
			continue;
		std::string file(buffer.data(), size_t(n));
		while (!file.empty() && (file.back() == '\0' || file.back() == '\n'))
			file.pop_back();
		bool shown = !file.empty() && VirtualDecoder::instance().showStill(file);
		// A sender without an address of its own wants no answer.
		if (fromLength > sizeof(sa_family_t))
		{
			const char reply = shown ? ShowIframeProtocol::replyShown : ShowIframeProtocol::replyFailed;
			if (sendto(sock.get(), &reply, 1, MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&from), fromLength) < 0)
				eDebug("[showiframe] no answer delivered: %s", strerror(errno));
		}
	}
}
