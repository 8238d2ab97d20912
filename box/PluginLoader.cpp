#include "PluginLoader.h"

#include <dlfcn.h>

const char* const PluginLoader::entryName = "plugin_exec";

bool PluginLoader::load(const std::string& path, std::string& error)
{
	dlerror();
	handle = dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
	if (!handle)
	{
		const char* why = dlerror();
		error = "cannot load plugin \"" + path + "\": " + (why ? why : "unknown error");
		return false;
	}
	dlerror();
	void* symbol = dlsym(handle, entryName);
	const char* why = dlerror();
	if (why || !symbol)
	{
		error = "plugin \"" + path + "\" has no " + entryName + ": " + (why ? why : "null symbol");
		return false;
	}
	exec = reinterpret_cast<Entry>(symbol);
	return true;
}
