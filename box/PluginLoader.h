#ifndef OXLE_BOX_PLUGINLOADER_H
#define OXLE_BOX_PLUGINLOADER_H

#include <string>

// Loads a plugin shared object the way the box does and finds its entry.
class PluginLoader
{
public:
	using Entry = int (*)();

	// The plugin's host symbols resolve against the host library this program is
	// linked with; RTLD_NOW makes a missing one fail here rather than mid-run.
	bool load(const std::string& path, std::string& error);
	Entry entry() const { return exec; }

	static const char* const entryName;

private:
	// Never closed: the plugin's objects may still be referenced from the host's
	// singletons until the process ends.
	void* handle = nullptr;
	Entry exec = nullptr;
};

#endif
