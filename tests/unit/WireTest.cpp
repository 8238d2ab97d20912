// The command channel's bytes: the request as it goes out, the reply as it comes in.
#include <sys/stat.h>

#include <string>
#include <tuple>
#include <vector>

#include "BoxRootTest.h"
#include "eTCPWire.h"

namespace
{
const char STORED_CONFIG[] = "/var/tuxbox/config/oxle.xml";

TEST(Wire, RequestFieldsAreJoinedByBarsAndEmptyExtrasLeftOut)
{
	const std::vector<std::vector<const char*>> cases = {
		// group, command, argument, extra1, extra2, wire
		{"VLC", "GTI", "", "", "", "VLC|GTI|"},
		{"VLC", "PLY", "/media/a.mpg", "30", "2", "VLC|PLY|/media/a.mpg|30|2"},
		{"RQS", "NFO", "/a", "1", "", "RQS|NFO|/a|1"},
		{"X", "X", "X", "", "x", "X|X|X|x"},
	};
	for (const auto& c : cases)
		EXPECT_EQ(buildRequestWire(c[0], c[1], c[2], c[3], c[4]), c[5]);
}

TEST(Wire, ReplyChunksEndAtTheirFirstNul)
{
	// Each chunk appended to the reply so far: only the rest of a chunk is lost.
	const std::pair<std::string, std::string> chunks[] = {
		{"<li", "<li"},
		{std::string("st\0junk", 7), "<list"},
		{std::string("\0junk", 5), "<list"},
		{"/>", "<list/>"},
	};
	eString reply;
	for (const auto& [chunk, after] : chunks)
	{
		appendReplyChunk(reply, chunk.data(), chunk.size());
		EXPECT_EQ(reply, after) << chunk.size() << " bytes";
	}
}

TEST(Wire, OkRightAfterTheFirstCharacterIsAFailureExceptInListings)
{
	const std::tuple<const char*, const char*, const char*> cases[] = {
		// command, reply, result
		{"STA", "+ok", "+ok"},
		{"PAU", "x+ok", "+nok"},
		{"PAU", "xx+ok", "xx+ok"},
		{"PAU", "x+o", "x+o"},
		{"GFL", "x+ok<list/>", "x+ok<list/>"},
		{"gfl", "x+ok", "+nok"},
	};
	for (const auto& [command, reply, result] : cases)
		EXPECT_EQ(applyReplyRules(command, reply), result) << command << " '" << reply << "'";
}

using WireConfig = BoxRootTest;

TEST_F(WireConfig, ConfigReplyIsStoredWholeOrFails)
{
	const std::string replies[] = {
		"<config>" + std::string(4000, 'z') + "</config>",
		"<config rate=\"100%\" f=\"%s%d%n\"/>\n", // shorter: no tail of the old file survives
		"x+ok",                                   // stored, not taken for a failure
	};
	for (const std::string& reply : replies)
	{
		ASSERT_EQ(applyReplyRules("GCO", reply), "+ok");
		EXPECT_EQ(root.readFile(STORED_CONFIG), reply);
	}
	// A folder in the file's place cannot be written.
	::remove(root.file(STORED_CONFIG).c_str());
	ASSERT_EQ(mkdir(root.file(STORED_CONFIG).c_str(), 0755), 0);
	EXPECT_EQ(applyReplyRules("GCO", "<config/>"), "+nok");
}
} // namespace
