#include "eTCPWire.h"

#include <cstdio>
#include <cstring>

#include "boxPath.h"
#include "eDebug.h"

namespace
{
const char FIELD_SEPARATOR = '|';
const char OK_WORD[] = "+ok";
const std::size_t OK_WORD_LENGTH = sizeof(OK_WORD) - 1;
// A reply to an action command that carries "+ok" right behind its first character
// counts as a failure.
const std::size_t OK_WORD_POSITION = 1;

// Writes the whole reply or reports failure; a half-written configuration must not be
// confirmed as stored.
bool storeConfigReply(const eString& reply)
{
	eString path = boxPath("/var/tuxbox/config/oxle.xml");
	FILE* file = fopen(path.c_str(), "w+");
	if (!file)
	{
		eDebug("could not open %s", path.c_str());
		return false;
	}
	std::size_t written = fwrite(reply.data(), 1, reply.size(), file);
	bool closed = fclose(file) == 0;
	if (written != reply.size() || !closed)
	{
		eDebug("could not write %s", path.c_str());
		return false;
	}
	return true;
}
} // namespace

eString buildRequestWire(
	const eString& group, const eString& command, const eString& argument, const eString& extra1, const eString& extra2)
{
	eString wire;
	wire.reserve(group.size() + command.size() + argument.size() + extra1.size() + extra2.size() + 4);
	wire += group;
	wire += FIELD_SEPARATOR;
	wire += command;
	wire += FIELD_SEPARATOR;
	wire += argument;
	if (!extra1.empty())
	{
		wire += FIELD_SEPARATOR;
		wire += extra1;
	}
	if (!extra2.empty())
	{
		wire += FIELD_SEPARATOR;
		wire += extra2;
	}
	return wire;
}

eString applyReplyRules(const eString& command, eString reply)
{
	if (command == "GFL")
		return reply;
	if (command == "GCO")
		return storeConfigReply(reply) ? "+ok" : "+nok";
	if (reply.size() >= OK_WORD_POSITION + OK_WORD_LENGTH &&
		reply.compare(OK_WORD_POSITION, OK_WORD_LENGTH, OK_WORD) == 0)
		return "+nok";
	return reply;
}
