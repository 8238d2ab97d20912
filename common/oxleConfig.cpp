#include "oxleConfig.h"

#include <cstdlib>

#include "eConfig.h"

int bufferBlocks(int configured)
{
	return configured < BUFFER_BLOCKS_MIN || configured > BUFFER_BLOCKS_MAX ? BUFFER_BLOCKS_DEFAULT : configured;
}

int configInt(const char* key, int preset)
{
	eConfig* config = eConfig::getInstance();
	int value = preset;
	if (config)
		config->getKey(key, value);
	return value;
}

eString configString(const char* key, const char* fallback)
{
	eConfig* config = eConfig::getInstance();
	char* value = nullptr;
	if (!config || config->getKey(key, value) != 0 || !value)
		return fallback;
	eString text(value);
	free(value);
	return text;
}
