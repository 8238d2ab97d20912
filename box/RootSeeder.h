#ifndef OXLE_BOX_ROOTSEEDER_H
#define OXLE_BOX_ROOTSEEDER_H

#include <string>

// Lays out a box root so that the plugin finds what a real box has: its pictures, a
// server address on loopback, a network interfaces file, the showiframe tool and the
// folders it writes to. What is already there is never overwritten, so a root can be
// reused and its settings survive.
class RootSeeder
{
public:
	RootSeeder(std::string root, std::string dataDir, std::string showiframeTool);

	// Picks the root folder: explicit, else $OXLE_BOX_ROOT, else a new temporary folder.
	// Creates it; false with a diagnostic when it cannot.
	static bool prepareRoot(const std::string& requested, std::string& root, std::string& error);

	// Folders and files; false with a diagnostic on the first failure.
	bool seedFiles(std::string& error);
	// The server address in the configuration store (DesktopServices must be up).
	void seedConfig();

	static const char* const interfacesSample;
	static const char* const serverIpKey;
	static const char* const serverIpDefault;

private:
	bool makeDir(const std::string& boxDir, std::string& error);
	bool copyPictures(std::string& error);
	bool writeInterfaces(std::string& error);
	bool copyShowiframe(std::string& error);

	std::string root, dataDir, showiframeTool;
};

#endif
