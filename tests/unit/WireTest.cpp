// The command channel's bytes: the request as it goes out, the reply as it comes in.
#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "BoxRootTest.h"
#include "eReplyBuffer.h"
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

// Writes bytes as receives of at most the room offered; false when the buffer refused one.
bool receive(eReplyBuffer& reply, const std::string& bytes, std::size_t limit)
{
	bool accepted = true;
	for (std::size_t at = 0; at < bytes.size() && accepted;)
	{
		std::size_t room = 0;
		char* into = reply.space(room);
		EXPECT_GT(room, 0u);
		EXPECT_LE(room, limit + 1 - reply.received()) << "more than one byte beyond the limit";
		const std::size_t n = std::min(room, bytes.size() - at);
		std::copy(bytes.begin() + long(at), bytes.begin() + long(at + n), into);
		accepted = reply.commit(n);
		at += n;
	}
	return accepted;
}

TEST(Wire, ReplyKeepsEachReceiveUpToItsFirstNul)
{
	const std::string receives[] = {"<li", std::string("st\0junk", 7), std::string("\0junk", 5), "/>"};
	eReplyBuffer reply(1000);
	std::size_t total = 0;
	for (const std::string& bytes : receives)
	{
		EXPECT_TRUE(receive(reply, bytes, 1000));
		total += bytes.size();
		EXPECT_EQ(reply.received(), total);
	}
	EXPECT_EQ(reply.take(), "<list/>");
	EXPECT_EQ(reply.take(), "");
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
