#ifndef OXLE_DESKTOP_SHOWIFRAMELISTENER_H
#define OXLE_DESKTOP_SHOWIFRAMELISTENER_H

#include <string>
#include <thread>

#include "UniqueFd.h"

// The box's end of the showiframe tool: a datagram socket at ROOT/var/run/showiframe.sock
// whose every message is the path of a still for VirtualDecoder::showStill. A thread of
// its own serves it, so a plugin calling the tool through system() on the GUI thread
// gets its answer while the GUI thread waits.
class ShowIframeListener
{
public:
	ShowIframeListener() = default;
	~ShowIframeListener();
	ShowIframeListener(const ShowIframeListener&) = delete;
	ShowIframeListener& operator=(const ShowIframeListener&) = delete;

	// Binds the socket (making ROOT/var/run when missing) and starts serving; false with
	// a diagnostic when the socket cannot be had or another box serves it already.
	bool start(const std::string& rootDir);
	void stop();
	const std::string& socketPath() const { return path; }

private:
	void run();

	std::thread server;
	std::string path;
	UniqueFd sock;
	UniqueFd wakeRead, wakeWrite; // a byte in the pipe ends the server thread
};

#endif
