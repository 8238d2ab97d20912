#include <sys/stat.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "NetTestRoot.h"
#include "TempBoxRoot.h"
#include "eTCPWire.h"

namespace
{
const char STORED_CONFIG[] = "/var/tuxbox/config/oxle.xml";

TEST(eTCPWire, RequestWireForm)
{
	struct Case
	{
		const char* group;
		const char* command;
		const char* argument;
		const char* extra1;
		const char* extra2;
		const char* wire;
	};
	const std::vector<Case> cases = {
		{"VLC", "GTI", "NO", "", "", "VLC|GTI|NO"},
		{"VLC", "GTI", "", "", "", "VLC|GTI|"},
		{"VLC", "PLY", "/media/a.mpg", "30", "2", "VLC|PLY|/media/a.mpg|30|2"},
		{"X", "X", "X", "", "x", "X|X|X|x"},
		{"RQS", "NFO", "/a", "1", "", "RQS|NFO|/a|1"},
		{"VLC", "GFL", "/media/a|b|", "", "", "VLC|GFL|/media/a|b|"},
		{"A|B", "C", "D", "e|f", "", "A|B|C|D|e|f"},
		{"", "", "", "", "", "||"},
	};
	for (const Case& c : cases)
		EXPECT_EQ(buildRequestWire(c.group, c.command, c.argument, c.extra1, c.extra2), c.wire)
			<< c.group << " " << c.command << " " << c.argument;
}

TEST(eTCPWire, ChunksAreCutAtTheirFirstNul)
{
	struct Case
	{
		std::string before;
		std::string chunk;
		std::string after;
	};
	const std::vector<Case> cases = {
		{"", "abc", "abc"},
		{"12", "abc", "12abc"},
		{"", std::string("ab\0cd", 5), "ab"},
		{"12", std::string("\0xyz", 4), "12"},
		{"12", std::string("xy\0", 3), "12xy"},
		{"", "", ""},
	};
	for (const Case& c : cases)
	{
		eString reply(c.before);
		appendReplyChunk(reply, c.chunk.data(), c.chunk.size());
		EXPECT_EQ(reply, c.after) << "chunk of " << c.chunk.size() << " bytes";
	}

	// Text behind a NUL is lost for that chunk only; the next chunk is appended as usual.
	eString reply;
	const std::string first("<li\0junk", 8);
	appendReplyChunk(reply, first.data(), first.size());
	appendReplyChunk(reply, "st/>", 4);
	EXPECT_EQ(reply, "<list/>");
}

TEST(eTCPWire, ReplyRules)
{
	struct Case
	{
		const char* command;
		std::string reply;
		const char* result;
	};
	const std::vector<Case> cases = {
		{"STA", "+ok", "+ok"},
		{"STA", "+ok ready", "+ok ready"},
		{"PAU", "x+ok", "+nok"},
		{"PAU", "x+ok and more", "+nok"},
		{"PAU", "xx+ok", "xx+ok"},
		{"PAU", "x+o", "x+o"},
		{"PAU", "x", "x"},
		{"PAU", "", ""},
		{"STA", "+nok", "+nok"},
		{"SPO", "8080", "8080"},
		{"GFL", "x+ok<list/>", "x+ok<list/>"},
		{"GFL", "", ""},
		{"gfl", "x+ok", "+nok"},
	};
	for (const Case& c : cases)
		EXPECT_EQ(applyReplyRules(c.command, c.reply), c.result) << c.command << " '" << c.reply << "'";
}

TEST(eTCPWire, ConfigReplyIsStoredVerbatim)
{
	TempBoxRoot& root = netTestRoot();
	const std::string longer = "<config>" + std::string(4000, 'z') + "</config>";
	const std::string withPercent = "<config rate=\"100%\" f=\"%s%d%n\"/>\n";

	ASSERT_EQ(applyReplyRules("GCO", longer), "+ok");
	EXPECT_EQ(root.readFile(STORED_CONFIG), longer);
	// A shorter reply replaces the file, no tail of the old one survives.
	ASSERT_EQ(applyReplyRules("GCO", withPercent), "+ok");
	EXPECT_EQ(root.readFile(STORED_CONFIG), withPercent);
	// "+ok" inside a stored reply does not turn it into a failure.
	ASSERT_EQ(applyReplyRules("GCO", "x+ok"), "+ok");
	EXPECT_EQ(root.readFile(STORED_CONFIG), "x+ok");
}

TEST(eTCPWire, ConfigReplyThatCannotBeStoredFails)
{
	TempBoxRoot& root = netTestRoot();
	const std::string blocked = root.file(STORED_CONFIG);
	ASSERT_TRUE(root.writeFile("/var/tuxbox/config/placeholder", ""));
	::remove(blocked.c_str());
	// A folder in the file's place cannot be opened for writing.
	ASSERT_EQ(mkdir(blocked.c_str(), 0755), 0);
	EXPECT_EQ(applyReplyRules("GCO", "<config/>"), "+nok");
	rmdir(blocked.c_str());
}
} // namespace
