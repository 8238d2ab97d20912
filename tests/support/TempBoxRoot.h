#ifndef OXLE_TESTS_SUPPORT_TEMPBOXROOT_H
#define OXLE_TESTS_SUPPORT_TEMPBOXROOT_H

#include <cstdint>
#include <string>

#include "TempDir.h"

// A throw-away box root whose store is seeded so that the plugin talks to 127.0.0.1, never to
// its built-in home-network default.
class TempBoxRoot
{
public:
	static constexpr const char* CONFIG_FILE = "/var/tuxbox/config/enigma/config";
	static constexpr const char* SERVER_IP_KEY = "/enigma/plugins/oxle/serverip";
	static constexpr const char* SERVER_PORT_KEY = "/enigma/plugins/oxle/serverport";
	static constexpr const char* LOOPBACK = "127.0.0.1";
	static constexpr uint16_t DEFAULT_COMMAND_PORT = 12050;

	explicit TempBoxRoot(uint16_t serverPort = DEFAULT_COMMAND_PORT)
		: seeded(writeFile(CONFIG_FILE,
			  std::string("s:") + SERVER_IP_KEY + "=" + LOOPBACK + "\ns:" + SERVER_PORT_KEY + "=" +
				  std::to_string(serverPort) + "\n"))
	{
	}

	// False when the folder or the store could not be made.
	bool ok() const { return seeded; }
	const std::string& path() const { return dir.path(); }
	// The desktop location of an absolute box path: ROOT + boxPath.
	std::string file(const std::string& boxPath) const { return dir.ok() ? path() + boxPath : std::string(); }
	// Whole files on box paths; folders are made as needed, a missing file reads empty.
	bool writeFile(const std::string& boxPath, const std::string& text) const
	{
		return !dir.file(boxPath, text).empty();
	}
	std::string readFile(const std::string& boxPath) const { return dir.read(boxPath); }

private:
	TempDir dir{"oxle-box"};
	bool seeded;
};

#endif
