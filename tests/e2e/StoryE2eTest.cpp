// A shorter telling of the demo's story against the real server: play a clip, open the
// infobar, pause and release, the help, stop, the settings, leave. What each key did is
// read from the journal and the server's log.
#include <gtest/gtest.h>

#include "E2eBox.h"
#include "MediaTree.h"
#include "ServerProcess.h"

namespace
{
const int clipSeconds = 12;
const int smallestBuffer = 4;
const char* const bufferSizeKey = "/enigma/plugins/oxle/buffersize";

JournalQuery::Match classShown(const std::string& cls)
{
	return [cls](const nlohmann::json& j) { return j.value("class", "") == cls && j.value("op", "") == "show"; };
}
} // namespace

TEST(StoryE2eTest, InfobarPauseHelpStopSettingsAndLeaving)
{
	MediaTree media;
	ASSERT_TRUE(media.ok());
	std::string error;
	ASSERT_TRUE(media.addClip("clip.ts", MediaTree::Clip::Mpeg2Ts, clipSeconds, error)) << error;
	ServerProcess server({"--root", media.path()});
	ASSERT_TRUE(server.start()) << server.error();

	E2eBox box;
	box.decoder("realtime");
	box.serverPort(server.commandPort());
	box.setInt(bufferSizeKey, smallestBuffer);
	// The infobar needs the stream marked playing, which the first status tick does
	// 1.8 s after the start.
	box.keys("sleep 300\ndown\nok\nsleep 2500\n"
			 "ok\nsleep 800\nexit\n"                   // the infobar, closed again
			 "yellow\nsleep 800\nyellow\nsleep 2500\n" // pause and release
			 "help\nsleep 500\nexit\n"                 // the help window
			 "exit\nsleep 1000\n"                      // stop: back to the browser
			 "blue\nred\nsleep 800\nexit\n"            // the settings on the second page
			 "exit\n");                                // leave
	BoxRun run = box.run();
	JournalQuery journal = box.journal();
	ASSERT_EQ(run.exitCode, 0) << run.output << journal.dump();
	const std::string log = server.log();

	const size_t set = journal.find("decoder", 0, JournalQuery::opIs("set"));
	ASSERT_NE(set, JournalQuery::npos) << journal.dump() << log;

	const size_t infobar = journal.find("window", set, classShown("eOXLEInfo"));
	EXPECT_NE(infobar, JournalQuery::npos) << journal.dump();
	EXPECT_GE(server.requestsLogged("VLC|GTI|NO"), 1u) << log;

	const size_t pauseBox = journal.find(
		"msgbox", set, [](const nlohmann::json& j) { return j.value("text", "").rfind("Stream paused.", 0) == 0; });
	ASSERT_NE(pauseBox, JournalQuery::npos) << journal.dump();
	const size_t paused = journal.find("decoder", set, JournalQuery::opIs("pause"));
	ASSERT_NE(paused, JournalQuery::npos) << journal.dump();
	EXPECT_NE(journal.find("decoder", paused, JournalQuery::opIs("resume")), JournalQuery::npos) << journal.dump();
	EXPECT_EQ(server.requestsLogged("VLC|PAU|NO"), 2u) << log;

	const size_t help = journal.find("title", set, JournalQuery::textIs("Help"));
	EXPECT_NE(help, JournalQuery::npos) << journal.dump();
	EXPECT_EQ(server.requestsLogged("VLC|STP|NO"), 1u) << log;
	const size_t settings = journal.find("title", help, JournalQuery::textIs("OXLE Settings"));
	EXPECT_NE(settings, JournalQuery::npos) << journal.dump();

	const auto quits = journal.all("quit");
	ASSERT_EQ(quits.size(), 1u) << journal.dump();
	EXPECT_EQ(quits[0].value("code", -1), 0);
}
