#ifndef OXLE_TESTS_SUPPORT_TEMPBOXROOT_H
#define OXLE_TESTS_SUPPORT_TEMPBOXROOT_H

#include <cstdint>
#include <map>
#include <string>

// A throw-away box root for tests: a fresh folder under $TMPDIR (or /tmp) whose
// configuration store, ROOT/var/tuxbox/config/enigma/config, is seeded so that the
// plugin talks to 127.0.0.1 and never to its built-in home-network default. The folder
// and everything in it are removed when the object goes.
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
	static constexpr uint16_t DEFAULT_COMMAND_PORT = 12050;

	explicit TempBoxRoot(uint16_t serverPort = DEFAULT_COMMAND_PORT);
	~TempBoxRoot();
	TempBoxRoot(const TempBoxRoot&) = delete;
	TempBoxRoot& operator=(const TempBoxRoot&) = delete;

	// False when the folder or the store could not be made.
	bool ok() const { return !root.empty() && seeded; }
	const std::string& path() const { return root; }
	// The desktop location of an absolute box path: ROOT + boxPath.
	std::string file(const std::string& boxPath) const;

	// Seed entries of the store ("s:KEY=VALUE" and "i:KEY=N" lines); rewrites the file.
	bool setString(const std::string& key, const std::string& value);
	bool setInt(const std::string& key, int value);

	// Whole-file helpers on box paths; parent folders are created as needed.
	bool writeFile(const std::string& boxPath, const std::string& contents) const;
	// Empty when the file is missing.
	std::string readFile(const std::string& boxPath) const;
	bool exists(const std::string& boxPath) const;

private:
	bool writeConfig();

	std::string root;
	bool seeded = false;
	std::map<std::string, std::string> entries; // key -> whole line
};

#endif
