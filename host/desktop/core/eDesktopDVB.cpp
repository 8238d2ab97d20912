#include "eDVB.h"

namespace
{
class eDesktopDVB : public eDVB
{
public:
	eServiceInterface* getServiceAPI() override { return eServiceInterface::getInstance(); }
};
} // namespace

eDVB* eDVB::getInstance()
{
	static eDesktopDVB dvb;
	return &dvb;
}
