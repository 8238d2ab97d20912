// The command channel's bytes: the request as it goes out, the reply as it comes in.
#include <string>
#include <tuple>
#include <vector>

#include "BoxRootTest.h"
#include "eTCPWire.h"

namespace
{
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
		{"<li", "<li"}, {std::string("st\0junk", 7), "<list"}, {std::string("\0junk", 5), "<list"}, {"/>", "<list/>"}};
	eString reply;
	for (const auto& [chunk, after] : chunks)
	{
		appendReplyChunk(reply, chunk.data(), chunk.size());
		EXPECT_EQ(reply, after) << chunk.size() << " bytes";
	}
}

using WireReply = BoxRootTest;

TEST_F(WireReply, OkRightAfterTheFirstCharacterIsAFailureExceptInListingsAndStoredConfigs)
{
	const std::tuple<const char*, std::string, const char*> cases[] = {
		// command, reply, result
		{"STA", "+ok", "+ok"}, {"PAU", "x+ok", "+nok"}, {"PAU", "xx+ok", "xx+ok"}, {"PAU", "x+o", "x+o"},
		{"GFL", "x+ok<list/>", "x+ok<list/>"}, {"gfl", "x+ok", "+nok"},
		{"GCO", "<config>" + std::string(4000, 'z') + "</config>", "+ok"},
		{"GCO", "x+ok%s%n", "+ok"}, // shorter: no tail of the old file survives; not printf
	};
	for (const auto& [command, reply, result] : cases)
	{
		EXPECT_EQ(applyReplyRules(command, reply), result) << command << " '" << reply << "'";
		EXPECT_TRUE(std::string(command) != "GCO" || root.readFile("/var/tuxbox/config/oxle.xml") == reply);
	}
}
} // namespace
