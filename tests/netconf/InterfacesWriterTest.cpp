// The editor of the box's network configuration: stanzas rewritten or appended, auto
// mentions, what else survives, and a rewrite that never loses the old file.
#include <fcntl.h>
#include <linux/capability.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <list>
#include <map>
#include <string>

#include "InterfacesTestFile.h"
#include "InterfacesWriter.h"

namespace fs = std::filesystem;

namespace
{
std::string hostName()
{
	char name[128] = {};
	gethostname(name, sizeof name - 1);
	return name;
}

// Drops the calling thread's power to read and write past file modes, as a process
// that is not root has it; restored on destruction.
class WithoutFileOverride
{
public:
	WithoutFileOverride()
	{
		active = syscall(SYS_capget, &header, saved) == 0;
		__user_cap_data_struct lowered[2] = {saved[0], saved[1]};
		lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
		active = active && syscall(SYS_capset, &header, lowered) == 0;
	}
	~WithoutFileOverride() { syscall(SYS_capset, &header, saved); }
	bool ok() const { return active; }

private:
	__user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
	__user_cap_data_struct saved[2] = {};
	bool active = false;
};

// Lowers the file-size limit so that writes beyond it fail (EFBIG) like a full disk,
// for root too; restored on destruction.
class FileSizeLimit
{
public:
	explicit FileSizeLimit(rlim_t bytes)
	{
		getrlimit(RLIMIT_FSIZE, &saved);
		previousHandler = signal(SIGXFSZ, SIG_IGN);
		rlimit lowered = saved;
		lowered.rlim_cur = bytes;
		active = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
	}
	~FileSizeLimit()
	{
		setrlimit(RLIMIT_FSIZE, &saved);
		signal(SIGXFSZ, previousHandler);
	}
	bool ok() const { return active; }

private:
	rlimit saved{};
	sighandler_t previousHandler;
	bool active = false;
};
} // namespace

TEST_F(InterfacesTest, EntryPointsRewriteTheStanzaTable)
{
	const char* const lanFile = "auto lo eth0\niface lo inet loopback\niface eth0 inet dhcp\n\thostname box\n";
	struct Case
	{
		const char* what;
		const char* before; // nullptr: no file
		std::function<bool()> edit;
		std::string after;
	};
	const auto staticLan = [](bool automatic) {
		return [automatic] { return setStaticAttributes("eth0", automatic, "192.168.1.10", "255.255.255.0", "", ""); };
	};
	const Case cases[] = {
		{"static, not automatic", lanFile, staticLan(false),
			"auto lo\niface lo inet loopback\niface eth0 inet static\n\taddress 192.168.1.10\n\tnetmask 255.255.255.0\n"},
		{"static, automatic", lanFile, staticLan(true),
			"auto lo\niface lo inet loopback\nauto eth0\niface eth0 inet static\n\taddress 192.168.1.10\n"
			"\tnetmask 255.255.255.0\n"},
		{"auto lines lose the name; one left empty goes",
			"auto eth0\nauto   eth0 \t wlan0\nauto wlan1\niface eth0 inet dhcp\n", staticLan(false),
			"auto wlan0\nauto wlan1\niface eth0 inet static\n\taddress 192.168.1.10\n\tnetmask 255.255.255.0\n"},
		{"comments and blank lines of the old body stay, the rest goes",
			"iface eth0 inet static\n\taddress 10.0.0.1\n# keep me\n\n\tup route add default gw 10.0.0.254\n"
			"\tnetmask 255.0.0.0\n",
			staticLan(false), "iface eth0 inet static\n\taddress 192.168.1.10\n\tnetmask 255.255.255.0\n# keep me\n\n"},
		{"the stanza ends at iface, auto and mapping without a blank line",
			"iface eth0 inet dhcp\n\thostname x\niface wlan0 inet dhcp\n\thostname y\n", staticLan(false),
			"iface eth0 inet static\n\taddress 192.168.1.10\n\tnetmask 255.255.255.0\niface wlan0 inet dhcp\n"
			"\thostname y\n"},
		{"the stanza ends at other stanza keywords, which survive",
			"iface eth0 inet dhcp\n\thostname x\nallow-hotplug wlan0\nsource /etc/network/more\n", staticLan(false),
			"iface eth0 inet static\n\taddress 192.168.1.10\n\tnetmask 255.255.255.0\nallow-hotplug wlan0\n"
			"source /etc/network/more\n"},
		{"a missing interface is appended after the last line", "iface lo inet loopback", staticLan(true),
			"iface lo inet loopback\nauto eth0\niface eth0 inet static\n\taddress 192.168.1.10\n"
			"\tnetmask 255.255.255.0\n"},
		{"no file: a new file with the stanza", nullptr,
			[] { return setStaticAttributes("eth0", false, "10.1.2.3", "", "10.1.2.255", "10.1.2.1"); },
			"iface eth0 inet static\n\taddress 10.1.2.3\n\tbroadcast 10.1.2.255\n\tgateway 10.1.2.1\n\tnetmask \n"},
		{"every stanza of the name is rewritten",
			"iface eth0 inet static\n\taddress 1.1.1.1\niface eth0 inet6 auto\n\tprivext 2\n",
			[] { return setDhcpAttributes("eth0", false); },
			"iface eth0 inet dhcp\n\thostname " + hostName() + "\niface eth0 inet dhcp\n\thostname " + hostName() +
				"\n"},
		{"dhcp carries the host name", lanFile, [] { return setDhcpAttributes("eth0", true); },
			"auto lo\niface lo inet loopback\nauto eth0\niface eth0 inet dhcp\n\thostname " + hostName() + "\n"},
		{"loopback", "", [] { return addLoopbackDevice("lo", true); }, "auto lo\niface lo inet loopback\n"},
	};
	for (const Case& c : cases)
	{
		SCOPED_TRACE(c.what);
		fs::remove(path());
		if (c.before)
			writeInterfaces(c.before);
		EXPECT_TRUE(c.edit());
		EXPECT_EQ(readInterfaces(), c.after);
		EXPECT_EQ(folderListing(), "interfaces") << "no temporary file is left behind";
	}
}

TEST_F(InterfacesTest, RemoveInterfaceFromLineTable)
{
	struct Case
	{
		const char* line;
		const char* result;
	};
	const Case cases[] = {
		{"auto lo eth0", "auto lo"},
		{"auto eth0", ""},
		{"auto eth0 eth0", ""},
		{"  auto\teth0   wlan0  ", "auto wlan0"},
		{"eth0 eth0 lo", "eth0 lo"},
		{"auto eth0:1 ETH0", "auto eth0:1 ETH0"},
		{"auto", ""},
		{"   ", ""},
	};
	for (const Case& c : cases)
		EXPECT_EQ(remove_interface_from_line("eth0", c.line), c.result) << '"' << c.line << '"';
}

TEST_F(InterfacesTest, AddAttributesInsertsInNameOrderBeforeThePosition)
{
	std::list<std::string> lines = {"iface eth0 inet static", "iface lo inet loopback"};
	auto position = std::next(lines.begin());
	auto returned = add_attributes({{"netmask", "255.0.0.0"}, {"address", "10.0.0.2"}}, lines, position);
	EXPECT_EQ(returned, position);
	EXPECT_EQ(*returned, "iface lo inet loopback");
	EXPECT_EQ(lines,
		(std::list<std::string>{
			"iface eth0 inet static", "\taddress 10.0.0.2", "\tnetmask 255.0.0.0", "iface lo inet loopback"}));
}

TEST_F(InterfacesTest, ReadFileAndWriteFileKeepLines)
{
	writeInterfaces("first\n\n\tthird  \nlast without line feed");
	std::list<std::string> lines = {"stale"};
	ASSERT_TRUE(read_file(path(), lines));
	EXPECT_EQ(lines, (std::list<std::string>{"first", "", "\tthird  ", "last without line feed"}));
	ASSERT_TRUE(write_file(path(), lines));
	EXPECT_EQ(readInterfaces(), "first\n\n\tthird  \nlast without line feed\n");

	fs::remove(path());
	lines = {"stale"};
	EXPECT_FALSE(read_file(path(), lines));
	EXPECT_TRUE(lines.empty());
	fs::create_directory(path());
	lines = {"stale"};
	EXPECT_FALSE(read_file(path(), lines)) << "a folder is no file";
	EXPECT_TRUE(lines.empty());
}

// An existing file that cannot be read would otherwise be replaced by one holding only
// the new stanza, and every other interface of the box would be gone.
TEST_F(InterfacesTest, AFileThatCannotBeReadIsLeftAlone)
{
	const std::string contents = "iface lo inet loopback\niface wlan0 inet dhcp\n";
	writeInterfaces(contents);
	ASSERT_EQ(chmod(path().c_str(), 0), 0);
	{
		// Root reads anything; without these two capabilities a mode of 0 stops it too.
		WithoutFileOverride unprivileged;
		ASSERT_TRUE(unprivileged.ok());
		ASSERT_LT(open(path().c_str(), O_RDONLY), 0) << "the file is still readable";
		EXPECT_FALSE(setStaticAttributes("eth0", true, "10.0.0.2", "255.0.0.0", "", ""));
	}
	EXPECT_EQ(readInterfaces(), contents);
	EXPECT_EQ(folderListing(), "interfaces");
	fs::remove(path());

	// Something that is no regular file, such as a pipe, is no configuration to edit.
	ASSERT_EQ(mkfifo(path().c_str(), 0644), 0);
	EXPECT_FALSE(setDhcpAttributes("eth0", true));
	EXPECT_TRUE(fs::is_fifo(path()));
	fs::remove(path());

	fs::create_directory(path());
	EXPECT_FALSE(addLoopbackDevice("lo", true));
	EXPECT_TRUE(fs::is_directory(path()));
	EXPECT_EQ(folderListing(), "interfaces");
}

TEST_F(InterfacesTest, AWriteThatFailsMidwayLeavesTheOldFileWhole)
{
	std::string old = "auto lo\niface lo inet loopback\n";
	for (int i = 0; i < 20; ++i)
		old += "# a comment line that makes the file long enough " + std::to_string(i) + "\n";
	writeInterfaces(old);
	{
		// The rewrite is longer than the limit; the old file is too, but it is only read.
		FileSizeLimit limit(256);
		ASSERT_TRUE(limit.ok());
		EXPECT_FALSE(setStaticAttributes("eth0", true, "10.0.0.2", "255.0.0.0", "", ""));
	}
	EXPECT_EQ(readInterfaces(), old);
	EXPECT_EQ(folderListing(), "interfaces") << "the temporary file is removed";
}

TEST_F(InterfacesTest, RewriteKeepsModeAndLinks)
{
	writeInterfaces("iface eth0 inet dhcp\n");
	ASSERT_EQ(chmod(path().c_str(), 0640), 0);
	ASSERT_TRUE(addLoopbackDevice("lo", true));
	struct stat info;
	ASSERT_EQ(stat(path().c_str(), &info), 0);
	EXPECT_EQ(info.st_mode & 07777, 0640u);

	// A box whose file is a link to elsewhere keeps the link; the target is rewritten.
	const fs::path target = fs::path(path()).parent_path() / "real-interfaces";
	fs::rename(path(), target);
	fs::create_symlink("real-interfaces", path());
	ASSERT_TRUE(setStaticAttributes("eth0", false, "10.0.0.2", "255.0.0.0", "", ""));
	EXPECT_TRUE(fs::is_symlink(fs::symlink_status(path())));
	EXPECT_EQ(readInterfaces(),
		"iface eth0 inet static\n\taddress 10.0.0.2\n\tnetmask 255.0.0.0\nauto lo\n"
		"iface lo inet loopback\n");
	ASSERT_EQ(stat(target.c_str(), &info), 0);
	EXPECT_EQ(info.st_mode & 07777, 0640u);
	EXPECT_EQ(folderListing(), "interfaces real-interfaces");
}

// A line break in a value would add lines of its own, such as "up" commands that the
// box runs as root; a name with blanks would break the stanza's words.
TEST_F(InterfacesTest, MalformedStanzasAreRefused)
{
	const std::string before = "iface eth0 inet dhcp\n";
	struct Case
	{
		const char* what;
		std::function<bool()> edit;
	};
	const Case cases[] = {
		{"line feed in a value",
			[] { return setStaticAttributes("eth0", false, "10.0.0.2\n\tup rm -rf /", "255.0.0.0", "", ""); }},
		{"carriage return in a value",
			[] { return setStaticAttributes("eth0", false, "10.0.0.2", "255.0.0.0", "", "1.2.3.4\rup x"); }},
		{"blank in the name", [] { return addLoopbackDevice("eth0 inet", false); }},
		{"empty name", [] { return addLoopbackDevice("", true); }},
		{"blank in a method", [this] { return write_interface(path(), "eth0", false, "inet", "static\nup x", {}); }},
		{"blank in an attribute name",
			[this] {
				return write_interface(path(), "eth0", false, "inet", "static", {{"up rm", "x"}});
			}},
	};
	for (const Case& c : cases)
	{
		SCOPED_TRACE(c.what);
		writeInterfaces(before);
		EXPECT_FALSE(c.edit());
		EXPECT_EQ(readInterfaces(), before);
	}
}
