#include "eDesktopServiceInterface.h"

#include <nlohmann/json.hpp>

#include "Journal.h"
#include "eDebug.h"

namespace
{
// The shape of a broadcast TV reference: type 1, then service id, transport stream id,
// original network id and service type among the data words.
const int tvReferenceType = 1;
const int sidWord = 1;
const int tsidWord = 2;
const int onidWord = 3;
const int serviceTypeWord = 0;
const int pretendSid = 0x6dca;
const int pretendTsid = 0x44d;
const int pretendOnid = 1;
const int serviceTypeTv = 1;
const char* const pretendName = "Desktop TV";
} // namespace

eString eServiceReference::toString() const
{
	if (!valid())
		return eString();
	eString out = eString::sprintf("%d:%d", type, flags);
	for (int word : data)
		out += eString::sprintf(":%x", unsigned(word));
	out += ":" + path;
	if (!descr.empty())
		out += ":" + descr;
	return out;
}

bool eServiceReference::operator==(const eServiceReference& o) const
{
	// The description names the service for people; it does not tell services apart.
	if (type != o.type || flags != o.flags || path != o.path)
		return false;
	for (size_t i = 0; i < sizeof(data) / sizeof(data[0]); ++i)
		if (data[i] != o.data[i])
			return false;
	return true;
}

eServiceInterface* eServiceInterface::getInstance()
{
	return &eDesktopServiceInterface::instance();
}

eDesktopServiceInterface& eDesktopServiceInterface::instance()
{
	static eDesktopServiceInterface serviceInterface;
	return serviceInterface;
}

eDesktopServiceInterface::eDesktopServiceInterface()
{
	setRunning(pretendName);
}

void eDesktopServiceInterface::setRunning(const std::string& name)
{
	service = eServiceReference();
	if (name.empty())
		return;
	service.type = tvReferenceType;
	service.data[serviceTypeWord] = serviceTypeTv;
	service.data[sidWord] = pretendSid;
	service.data[tsidWord] = pretendTsid;
	service.data[onidWord] = pretendOnid;
	service.descr = name;
}

int eDesktopServiceInterface::play(const eServiceReference& ref)
{
	if (!ref.valid())
	{
		eWarning("service: play of an invalid reference ignored");
		return -1;
	}
	service = ref;
	Journal::instance().event("service", {{"op", "play"}, {"ref", ref.toString()}});
	return 0;
}

int eDesktopServiceInterface::stop(int workaround)
{
	(void)workaround;
	const eString ref = service.toString();
	const bool wasRunning = service.valid();
	service = eServiceReference();
	Journal::instance().event("service", {{"op", "stop"}, {"ref", ref}});
	return wasRunning ? 0 : -1;
}
