// The reader of the box's network configuration: one interface's stanza, and the IPv4
// settings of a statically configured one.
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "InterfacesReader.h"
#include "InterfacesTestFile.h"

namespace
{
using Attributes = std::map<std::string, std::string>;

const char UNSET[] = "<unset>";

struct ReadCase
{
	const char* what;
	const char* file;
	const char* name;
	bool automatic;
	const char* family; // UNSET: the stanza was not found
	const char* method;
	Attributes attributes;
};

const ReadCase readCases[] = {
	{"static stanza, auto on an earlier line",
		"auto lo eth0\niface eth0 inet static\n\taddress 192.168.1.20\n"
		"\tnetmask 255.255.255.0\n",
		"eth0", true, "inet", "static", {{"address", "192.168.1.20"}, {"netmask", "255.255.255.0"}}},
	{"dhcp stanza", "auto lo eth0\niface eth0 inet dhcp\n", "eth0", true, "inet", "dhcp", {}},
	{"comment and blank line inside the stanza", "iface eth0 inet static\n# the box\n\n   \n\taddress 10.0.0.2\n",
		"eth0", false, "inet", "static", {{"address", "10.0.0.2"}}},
	{"extra words and a repeated attribute",
		"iface eth0 inet static extra\n\taddress 10.0.0.2 10.0.0.3\n"
		"\taddress 10.0.0.4\n\tlonely\n",
		"eth0", false, "inet", "static", {{"address", "10.0.0.4"}}},
	{"auto below the stanza", "iface eth0 inet dhcp\n\thostname box\nauto eth0\n", "eth0", true, "inet", "dhcp",
		{{"hostname", "box"}}},
	{"names are matched whole and case-sensitively",
		"auto eth0:1 ETH0\niface eth0:1 inet static\n\taddress 1.1.1.1\niface ETH0 inet dhcp\n", "eth0", false, UNSET,
		UNSET, {}},
	{"the next iface ends the stanza",
		"iface eth0 inet static\n\taddress 10.0.0.2\niface wlan0 inet dhcp\n"
		"\thostname other\n",
		"eth0", false, "inet", "static", {{"address", "10.0.0.2"}}},
	{"mapping ends the stanza", "iface eth0 inet static\n\taddress 10.0.0.2\nmapping eth1\n\tscript x\n", "eth0", false,
		"inet", "static", {{"address", "10.0.0.2"}}},
	{"allow- and source lines end the stanza",
		"iface eth0 inet static\n\taddress 10.0.0.2\nallow-hotplug wlan0\n"
		"\twpa-ssid home\nsource /etc/network/more\n",
		"eth0", false, "inet", "static", {{"address", "10.0.0.2"}}},
	{"a short iface line is no stanza", "iface eth0 inet\n\taddress 10.0.0.2\n", "eth0", false, UNSET, UNSET, {}},
	{"a second stanza replaces family and method and adds attributes",
		"iface eth0 inet static\n\taddress 10.0.0.2\niface eth0 inet6 auto\n\tprivext 2\n", "eth0", false, "inet6",
		"auto", {{"address", "10.0.0.2"}, {"privext", "2"}}},
	{"last line without a line feed", "iface eth0 inet static\n\tgateway 10.0.0.1", "eth0", false, "inet", "static",
		{{"gateway", "10.0.0.1"}}},
};
} // namespace

TEST_F(InterfacesTest, ReadInterfaceTable)
{
	for (const ReadCase& c : readCases)
	{
		SCOPED_TRACE(c.what);
		writeInterfaces(c.file);
		bool automatic = !c.automatic;
		std::string family = UNSET, method = UNSET;
		Attributes attributes{{"stale", "value"}};
		ASSERT_TRUE(read_interface(path(), c.name, automatic, family, method, attributes));
		EXPECT_EQ(automatic, c.automatic);
		EXPECT_EQ(family, c.family);
		EXPECT_EQ(method, c.method);
		EXPECT_EQ(attributes, c.attributes);
	}
}

TEST_F(InterfacesTest, ReadInterfaceFailsOnFilesItCannotRead)
{
	bool automatic = true;
	std::string family = UNSET, method = UNSET;
	Attributes attributes;
	EXPECT_FALSE(read_interface(path(), "eth0", automatic, family, method, attributes)) << "missing";
	EXPECT_EQ(family, UNSET);

	// A folder opens like a file but gives no lines: it must not pass for an empty file.
	std::filesystem::create_directory(path());
	EXPECT_FALSE(read_interface(path(), "eth0", automatic, family, method, attributes)) << "folder";
	EXPECT_EQ(family, UNSET);
	EXPECT_EQ(method, UNSET);
}

TEST_F(InterfacesTest, GetInetAttributesTable)
{
	struct Case
	{
		const char* what;
		const char* file; // nullptr: no file
		bool result;
		bool automatic;
		std::vector<std::string> outputs; // address, netmask, broadcast, gateway
	};
	const std::vector<std::string> untouched = {"a?", "n?", "b?", "g?"};
	const Case cases[] = {
		{"static with two settings",
			"auto lo eth0\niface eth0 inet static\n\taddress 192.168.1.20\n"
			"\tnetmask 255.255.255.0\n",
			true, true, {"192.168.1.20", "255.255.255.0", "", ""}},
		{"static with all four",
			"iface eth0 inet static\n\tgateway 10.0.0.1\n\tbroadcast 10.0.0.255\n"
			"\tnetmask 255.255.255.0\n\taddress 10.0.0.9\n",
			true, false, {"10.0.0.9", "255.255.255.0", "10.0.0.255", "10.0.0.1"}},
		{"dhcp", "auto lo eth0\niface eth0 inet dhcp\n", false, true, untouched},
		{"another family", "iface eth0 inet6 static\n\taddress fd00::2\n", false, false, untouched},
		{"no stanza", "auto eth0\niface lo inet loopback\n", false, true, untouched},
		{"no file", nullptr, false, false, untouched},
	};
	for (const Case& c : cases)
	{
		SCOPED_TRACE(c.what);
		std::filesystem::remove(path());
		if (c.file)
			writeInterfaces(c.file);
		bool automatic = !c.automatic;
		std::vector<std::string> out = untouched;
		EXPECT_EQ(getInetAttributes("eth0", automatic, out[0], out[1], out[2], out[3]), c.result);
		EXPECT_EQ(automatic, c.automatic);
		EXPECT_EQ(out, c.outputs);
	}
}
