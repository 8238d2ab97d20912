#ifndef OXLE_TESTS_SUPPORT_TEMPBOXROOT_H
#define OXLE_TESTS_SUPPORT_TEMPBOXROOT_H

#include <cstdint>
#include <map>
#include <string>

#include "TempDir.h"

// A throw-away box root for tests: a TempDir whose configuration store,
// ROOT/var/tuxbox/config/enigma/config, is seeded so that the plugin talks to 127.0.0.1
// and never to its built-in home-network default.
//
//   TempBoxRoot root(server.port());            // serverip=127.0.0.1, serverport=PORT
//   root.setInt("/enigma/plugins/oxle/autoplay", 1);
//   ASSERT_TRUE(root.ok());
//   setBoxRoot(root.path());                    // host/desktop/core/BoxRoot.h
//   DesktopServices::init();                    // loads the store seeded above
//
// The store is written at construction and again by every set call; the host reads it
// only in DesktopServices::init(), so later changes go through eConfig::setKey.
class TempBoxRoot
{
public:
	static constexpr const char* CONFIG_FILE = "/var/tuxbox/config/enigma/config";
	static constexpr const char* SERVER_IP_KEY = "/enigma/plugins/oxle/serverip";
	static constexpr const char* SERVER_PORT_KEY = "/enigma/plugins/oxle/serverport";
	static constexpr const char* LOOPBACK = "127.0.0.1";
	static constexpr uint16_t DEFAULT_COMMAND_PORT = 12050;

	explicit TempBoxRoot(uint16_t serverPort = DEFAULT_COMMAND_PORT);

	// False when the folder or the store could not be made.
	bool ok() const { return dir.ok() && seeded; }
	const std::string& path() const { return dir.path(); }
	// The desktop location of an absolute box path: ROOT + boxPath.
	std::string file(const std::string& boxPath) const { return dir.ok() ? path() + boxPath : std::string(); }

	// Seed entries of the store ("s:KEY=VALUE" and "i:KEY=N" lines); rewrites the file.
	bool setString(const std::string& key, const std::string& value);
	bool setInt(const std::string& key, int value);

	// Whole-file helpers on box paths; parent folders are made as needed. A missing
	// file reads as empty.
	bool writeFile(const std::string& boxPath, const std::string& contents) const;
	std::string readFile(const std::string& boxPath) const { return dir.read(boxPath); }
	bool exists(const std::string& boxPath) const;

private:
	bool writeConfig();

	TempDir dir{"oxle-box"};
	bool seeded = false;
	std::map<std::string, std::string> entries; // key -> whole line
};

#endif
