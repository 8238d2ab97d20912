// The box's network configuration: a stanza read, rewritten or appended, and the rest kept.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "BoxRootTest.h"
#include "InterfacesReader.h"
#include "InterfacesWriter.h"

namespace fs = std::filesystem;

namespace
{
using Attributes = std::map<std::string, std::string>;
const char UNSET[] = "<unset>";

std::string hostName()
{
	char name[128] = {};
	gethostname(name, sizeof name - 1);
	return name;
}

class Interfaces : public BoxRootTest
{
protected:
	void SetUp() override
	{
		BoxRootTest::SetUp();
		fs::create_directories(fs::path(path()).parent_path());
	}
	std::string path() const { return root.file("/etc/network/interfaces"); }
	void write(const char* contents) const
	{
		fs::remove(path());
		if (contents)
		{
			ASSERT_TRUE(root.writeFile("/etc/network/interfaces", contents));
		}
	}
	std::string contents() const { return root.readFile("/etc/network/interfaces"); }
	// Files in the folder: a temporary file left behind shows here.
	size_t files() const { return size_t(std::distance(fs::directory_iterator(fs::path(path()).parent_path()), {})); }
};
} // namespace

TEST_F(Interfaces, ReadsOneInterfacesStanza)
{
	// what, the file, auto, family and method (UNSET: no stanza found), attributes
	const std::tuple<const char*, const char*, bool, const char*, const char*, Attributes> cases[] = {
		{"auto on an earlier line", "auto lo eth0\niface eth0 inet static\n\taddress 192.168.1.20\n", true, "inet",
			"static", {{"address", "192.168.1.20"}}},
		{"comments and blank lines inside", "iface eth0 inet static\n# box\n\n   \n\taddress 10.0.0.2\n", false, "inet",
			"static", {{"address", "10.0.0.2"}}},
		{"extra words; a later attribute wins",
			"iface eth0 inet static extra\n\taddress 10.0.0.2 10.0.0.3\n\taddress 10.0.0.4\n\tlonely\n", false, "inet",
			"static", {{"address", "10.0.0.4"}}},
		{"auto below the stanza", "iface eth0 inet dhcp\n\thostname box\nauto eth0\n", true, "inet", "dhcp",
			{{"hostname", "box"}}},
		{"names match whole and by case", "auto eth0:1 ETH0\niface eth0:1 inet static\niface ETH0 inet dhcp\n", false,
			UNSET, UNSET, {}},
		{"iface ends the stanza", "iface eth0 inet dhcp\niface wlan0 inet dhcp\n\thostname other\n", false, "inet",
			"dhcp", {}},
		{"a short iface line is no stanza", "iface eth0 inet\n\taddress 10.0.0.2\n", false, UNSET, UNSET, {}},
		{"a second stanza replaces family and method, adds attributes",
			"iface eth0 inet static\n\taddress 10.0.0.2\niface eth0 inet6 auto\n\tprivext 2\n", false, "inet6", "auto",
			{{"address", "10.0.0.2"}, {"privext", "2"}}},
	};
	for (const auto& [what, file, wanted, wantedFamily, wantedMethod, wantedAttributes] : cases)
	{
		SCOPED_TRACE(what);
		write(file);
		bool automatic = !wanted;
		std::string family = UNSET, method = UNSET;
		Attributes attributes{{"stale", "value"}};
		ASSERT_TRUE(read_interface(path(), "eth0", automatic, family, method, attributes));
		EXPECT_EQ(automatic, wanted);
		EXPECT_EQ(family, wantedFamily);
		EXPECT_EQ(method, wantedMethod);
		EXPECT_EQ(attributes, wantedAttributes);
	}
}

TEST_F(Interfaces, InetAttributesOnlyOfAStaticIPv4Stanza)
{
	const std::vector<std::string> untouched = {"a?", "n?", "b?", "g?"};
	// what, the file (nullptr: none), result, auto, address, netmask, broadcast, gateway
	const std::tuple<const char*, const char*, bool, bool, std::vector<std::string>> cases[] = {
		{"three of four",
			"auto eth0\niface eth0 inet static\n\tgateway 10.0.0.1\n\tnetmask 255.0.0.0\n\taddress 10.0.0.9\n", true,
			true, {"10.0.0.9", "255.0.0.0", "", "10.0.0.1"}},
		{"dhcp", "auto eth0\niface eth0 inet dhcp\n", false, true, untouched},
		{"another family", "iface eth0 inet6 static\n\taddress fd00::2\n", false, false, untouched},
		{"no file", nullptr, false, false, untouched},
	};
	for (const auto& [what, file, result, wanted, outputs] : cases)
	{
		SCOPED_TRACE(what);
		write(file);
		bool automatic = !wanted;
		std::vector<std::string> out = untouched;
		EXPECT_EQ(getInetAttributes("eth0", automatic, out[0], out[1], out[2], out[3]), result);
		EXPECT_EQ(automatic, wanted);
		EXPECT_EQ(out, outputs);
	}
}

TEST_F(Interfaces, EntryPointsRewriteTheStanza)
{
	const char* const lan = "auto lo eth0\niface lo inet loopback\niface eth0 inet dhcp\n\thostname box\n";
	const std::string newStanza = "iface eth0 inet static\n\taddress 192.168.1.10\n\tnetmask 255.255.255.0\n";
	const auto staticLan = [](bool automatic) {
		return [automatic] { return setStaticAttributes("eth0", automatic, "192.168.1.10", "255.255.255.0", "", ""); };
	};
	// what, the file before (nullptr: none), the edit, the file after
	const std::tuple<const char*, const char*, std::function<bool()>, std::string> cases[] = {
		{"not automatic", lan, staticLan(false), "auto lo\niface lo inet loopback\n" + newStanza},
		{"automatic", lan, staticLan(true), "auto lo\niface lo inet loopback\nauto eth0\n" + newStanza},
		{"auto lines lose the name, words are joined by one blank, a line left empty goes",
			"auto eth0\n  auto\teth0   eth0:1 ETH0 \niface eth0 inet dhcp\n", staticLan(false),
			"auto eth0:1 ETH0\n" + newStanza},
		{"an auto line left empty stays bare where lines that open nothing follow it",
			"iface eth0 inet dhcp\nauto eth0\n# c\n\tup x\nauto eth0\n\n# d\niface lo inet loopback\n",
			staticLan(false), newStanza + "auto\n# c\n\tup x\n\n# d\niface lo inet loopback\n"},
		{"address settings go; comments, blanks, hooks and other settings stay in place",
			"iface eth0 inet static\n\taddress 10.0.0.1\n# keep me\n\n\tup ip route add 10.9.0.0/16 dev eth0\n"
			"\tnetwork 10.0.0.0\n\tdns-nameservers 10.0.0.53\n\tgateway 10.0.0.254\n\tbroadcast 10.0.0.255\n"
			"\tnetmask 255.0.0.0\n\tmtu 1400\n",
			staticLan(false),
			newStanza +
				"# keep me\n\n\tup ip route add 10.9.0.0/16 dev eth0\n\tdns-nameservers 10.0.0.53\n\tmtu 1400\n"},
		{"a line named like a written attribute is replaced", "iface eth0 inet dhcp\n\tmtu 1400\n\tpre-up x\n",
			[this] {
				return write_interface(path(), "eth0", false, "inet", "manual", {{"mtu", "9000"}});
			},
			"iface eth0 inet manual\n\tmtu 9000\n\tpre-up x\n"},
		{"other stanza keywords end it and survive",
			"iface eth0 inet dhcp\n\thostname x\nallow-hotplug wlan0\nsource /etc/network/more\n", staticLan(false),
			newStanza + "allow-hotplug wlan0\nsource /etc/network/more\n"},
		{"a short iface line is no stanza: left alone with its lines, the stanza is appended",
			"iface eth0 inet\n\tmtu 1400\n", staticLan(false), "iface eth0 inet\n\tmtu 1400\n" + newStanza},
		{"a missing interface is appended after the last line", "iface lo inet loopback", staticLan(true),
			"iface lo inet loopback\nauto eth0\n" + newStanza},
		{"no file: a new file; attributes in name order", nullptr,
			[] { return setStaticAttributes("eth0", false, "10.1.2.3", "", "10.1.2.255", "10.1.2.1"); },
			"iface eth0 inet static\n\taddress 10.1.2.3\n\tbroadcast 10.1.2.255\n\tgateway 10.1.2.1\n\tnetmask \n"},
		{"every stanza of the name is rewritten; dhcp carries the host name",
			"iface eth0 inet static\n\taddress 1.1.1.1\niface eth0 inet6 auto\n\tprivext 2\n",
			[] { return setDhcpAttributes("eth0", false); },
			"iface eth0 inet dhcp\n\thostname " + hostName() + "\niface eth0 inet dhcp\n\thostname " + hostName() +
				"\n\tprivext 2\n"},
		{"loopback", "", [] { return addLoopbackDevice("lo", true); }, "auto lo\niface lo inet loopback\n"},
	};
	for (const auto& [what, before, edit, after] : cases)
	{
		SCOPED_TRACE(what);
		write(before);
		EXPECT_TRUE(edit());
		EXPECT_EQ(contents(), after);
		EXPECT_EQ(files(), 1u) << "no temporary file is left behind";
	}
}

// Each of these would lose the box's other interfaces, or write commands the box runs as
// root: the file stays as it was.
TEST_F(Interfaces, RefusedEditsLeaveTheFileAlone)
{
	const char* const before = "iface lo inet loopback\niface wlan0 inet dhcp\n";
	const std::pair<const char*, std::function<bool()>> cases[] = {
		{"line feed in a value",
			[] { return setStaticAttributes("eth0", false, "10.0.0.2\n\tup rm -rf /", "255.0.0.0", "", ""); }},
		{"carriage return in a value",
			[] { return setStaticAttributes("eth0", false, "10.0.0.2", "255.0.0.0", "", "1.2.3.4\rup x"); }},
		{"blank in the name", [] { return addLoopbackDevice("eth0 inet", false); }},
		{"empty name", [] { return addLoopbackDevice("", true); }},
		{"line feed in a method",
			[this] { return write_interface(path(), "eth0", false, "inet", "static\nup x", {}); }},
		{"blank in an attribute name",
			[this] {
				return write_interface(path(), "eth0", false, "inet", "static", {{"up rm", "x"}});
			}},
	};
	for (const auto& [what, edit] : cases)
	{
		SCOPED_TRACE(what);
		write(before);
		EXPECT_FALSE(edit());
		EXPECT_EQ(contents(), before);
	}

	// A file that cannot be opened (a link to itself here; a mode of 0 on the box) is not a
	// missing one: writing it anew would drop every other interface.
	fs::remove(path());
	fs::create_symlink("interfaces", path());
	EXPECT_FALSE(setStaticAttributes("eth0", true, "10.0.0.2", "255.0.0.0", "", ""));
	EXPECT_TRUE(fs::is_symlink(fs::symlink_status(path())));
	EXPECT_EQ(files(), 1u);
	// A folder opens like a file but gives no lines: it must not pass for an empty file.
	fs::remove(path());
	fs::create_directory(path());
	EXPECT_FALSE(addLoopbackDevice("lo", true));
	EXPECT_TRUE(fs::is_directory(path()));
}

TEST_F(Interfaces, RewriteKeepsTheOldFileUntilTheNewIsWholeAndKeepsModeAndLinks)
{
	std::string old = "auto lo\niface lo inet loopback\n";
	for (int i = 0; i < 20; ++i)
		old += "# a comment line that makes the file long enough " + std::to_string(i) + "\n";
	write(old.c_str());
	// Writes past 256 bytes fail as on a full disk, for root too: the rewrite is longer,
	// and so is the old file, which is only read.
	rlimit saved{}, lowered{};
	ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
	const sighandler_t handler = signal(SIGXFSZ, SIG_IGN);
	lowered = saved;
	lowered.rlim_cur = 256;
	ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &lowered), 0);
	EXPECT_FALSE(setStaticAttributes("eth0", true, "10.0.0.2", "255.0.0.0", "", ""));
	setrlimit(RLIMIT_FSIZE, &saved);
	signal(SIGXFSZ, handler);
	EXPECT_EQ(contents(), old);
	EXPECT_EQ(files(), 1u) << "the temporary file is removed";

	write("iface eth0 inet dhcp\n");
	ASSERT_EQ(chmod(path().c_str(), 0640), 0);
	// The temporary file of a writer killed before its rename goes at the next write;
	// files that only look alike stay.
	const fs::path folder = fs::path(path()).parent_path();
	for (const char* name : {"real-interfaces.oxle-new.Ab3xYz", "real-interfaces.oxle-new.Ab3xY"})
		ASSERT_TRUE(root.writeFile(("/etc/network/" + std::string(name)).c_str(), "stale\n"));
	// A file that is a link to elsewhere stays one; the target is rewritten.
	const fs::path target = folder / "real-interfaces";
	fs::rename(path(), target);
	fs::create_symlink("real-interfaces", path());
	ASSERT_TRUE(setStaticAttributes("eth0", false, "10.0.0.2", "255.0.0.0", "", ""));
	EXPECT_TRUE(fs::is_symlink(fs::symlink_status(path())));
	EXPECT_EQ(contents(), "iface eth0 inet static\n\taddress 10.0.0.2\n\tnetmask 255.0.0.0\n");
	struct stat info;
	ASSERT_EQ(stat(target.c_str(), &info), 0);
	EXPECT_EQ(info.st_mode & 07777, 0640u);
	EXPECT_FALSE(fs::exists(folder / "real-interfaces.oxle-new.Ab3xYz"));
	EXPECT_EQ(files(), 3u);
}
