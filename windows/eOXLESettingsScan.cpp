// The settings window's server scan: the box's own address, then every other host of
// its /24 network in ascending order, probed on the configured command port.
#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "InterfacesReader.h"
#include "eConfig.h"
#include "eDebug.h"
#include "eMessageBox.h"
#include "eNumber.h"
#include "eOXLESettings.h"
#include "eTCP.h"
#include "eTextInputField.h"
#include "i18n.h"

namespace
{
const char useDhcpKey[] = "/elitedvb/network/usedhcp";
const char boxInterface[] = "eth0";
const char scanGroup[] = "SCAN";
const char probeAnswered[] = "+ok";
const int firstHost = 1;
const int lastHost = 255;
const useconds_t pauseBetweenProbesUs = 10000;
const int octetCount = 4;
const int maxOctet = 255;
const int octetBits = 8;
// Addresses of 0.0.0.0/8 mean "this host" and are no network to search.
const uint32_t thisNetworkMask = 0xff000000u;

eString dotted(const int* octets)
{
	return eString::sprintf("%d.%d.%d.%d", octets[0], octets[1], octets[2], octets[3]);
}

// The address of the box's interface as the kernel has it (DHCP); false when there
// is none or no socket could be made.
bool kernelAddress(uint32_t& address)
{
	int sock = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
	if (sock < 0)
	{
		eDebug("socket failed(%s)", strerror(errno));
		return false;
	}
	ifreq request{};
	strncpy(request.ifr_name, boxInterface, IFNAMSIZ - 1);
	bool ok = ioctl(sock, SIOCGIFADDR, &request) == 0;
	if (ok)
	{
		sockaddr_in in{};
		memcpy(&in, &request.ifr_addr, sizeof in);
		address = ntohl(in.sin_addr.s_addr);
	}
	else
		eDebug("SIOCGIFADDR failed(%s)", strerror(errno));
	close(sock);
	return ok;
}

// A dotted address with four numbers of 0 to 255; anything else would shift stray
// bits into a different network.
bool parseAddress(const std::string& text, uint32_t& address)
{
	int octets[octetCount] = {};
	if (sscanf(text.c_str(), "%d.%d.%d.%d", &octets[0], &octets[1], &octets[2], &octets[3]) < octetCount)
		return false;
	uint32_t value = 0;
	for (int octet : octets)
	{
		if (octet < 0 || octet > maxOctet)
			return false;
		value = (value << octetBits) | uint32_t(octet);
	}
	address = value;
	return true;
}
} // namespace

bool eOXLESettings::ownAddress(uint32_t& address)
{
	int useDhcp = 0;
	eConfig::getInstance()->getKey(useDhcpKey, useDhcp);
	bool automatic = false;
	std::string staticAddress, netmask, broadcast, gateway;
	getInetAttributes(boxInterface, automatic, staticAddress, netmask, broadcast, gateway);

	uint32_t found = 0;
	if (useDhcp)
	{
		if (!kernelAddress(found))
			return false;
	}
	else if (!parseAddress(staticAddress, found))
	{
		eDebug("couldn't parse ip(%s)", staticAddress.c_str());
		return false;
	}
	if ((found & thisNetworkMask) == 0)
	{
		eDebug("no own address to scan from");
		return false;
	}
	address = found;
	return true;
}

void eOXLESettings::serverScan()
{
	eMessageBox box(
		_("Scanning for valid Server, please wait..."), _("Server Scan"), eMessageBox::btOK, eMessageBox::btOK, 0);
	box.show();

	// Without an own address there is no network to walk; the field keeps its text.
	uint32_t own = 0;
	if (!ownAddress(own))
	{
		box.hide();
		return;
	}
	int octets[octetCount];
	eNumber::unpack(own, octets);
	const eString ownText = dotted(octets);

	eString found;
	for (int host = firstHost; host <= lastHost; ++host)
	{
		octets[octetCount - 1] = host;
		const eString candidate = dotted(octets);
		if (candidate == ownText)
			continue;
		if (eTCP::getInstance()->sendGetRequest(scanGroup, candidate, "NO", "", "", true) == probeAnswered)
		{
			found = candidate;
			break;
		}
		usleep(pauseBetweenProbesUs);
		box.setMessage(eString::sprintf(_("Scanning: %s"), candidate.c_str()));
	}

	// An address that never answered is no server: the field keeps what it had.
	if (!found.empty())
		addressField->setText(found);
	else
		eDebug("no server answered in the network of %s", ownText.c_str());
	box.hide();
}
