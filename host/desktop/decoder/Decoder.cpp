#include "Decoder.h"

#include <nlohmann/json.hpp>

#include "Journal.h"
#include "VirtualDecoder.h"

// The box's decoder API on the desktop: the programming record lives here, every call
// goes to the virtual decoder and leaves a journal line.

decoderParameters Decoder::parms;

namespace
{
void journal(const char* op)
{
	Journal::instance().event("decoder",
		{{"op", op}, {"vpid", Decoder::parms.vpid}, {"apid", Decoder::parms.apid},
			{"atype", Decoder::parms.audio_type}});
}
} // namespace

int Decoder::Set()
{
	VirtualDecoder::instance().setPids(parms.vpid, parms.apid, parms.audio_type);
	journal("set");
	return 0;
}

void Decoder::Flush(int)
{
	// The desktop decoder keeps its PIDs across a flush whatever keepPids says; the
	// plugin always programs them again with Set() before data flows.
	VirtualDecoder::instance().flush();
	journal("flush");
}

void Decoder::flushBuffer()
{
	VirtualDecoder::instance().flush();
	journal("flushBuffer");
}

void Decoder::flushClipBuffer()
{
	VirtualDecoder::instance().flush();
	journal("flushClipBuffer");
}

void Decoder::Pause(int)
{
	VirtualDecoder::instance().pause();
	journal("pause");
}

void Decoder::Resume(bool)
{
	VirtualDecoder::instance().resume();
	journal("resume");
}

long long Decoder::decodedFrames()
{
	return VirtualDecoder::instance().stats().framesSinceReset;
}
