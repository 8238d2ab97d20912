// Playing generated clips from the real server through the real engine into the
// desktop decoder: what the decoder was told, what it counted, and what the window did
// around it.
#include <gtest/gtest.h>

#include <regex>

#include "E2eBox.h"
#include "MediaTree.h"
#include "ServerProcess.h"

namespace
{
// ffmpeg's transport stream muxer numbers the first video and audio streams so, and the
// server's own muxer does the same for what it transcodes.
const int videoPid = 256;
const int audioPid = 257;
const int framesPerSecond = 25;
const int clipSeconds = 4;
const int clipFrames = framesPerSecond * clipSeconds;
// A transcode may end a frame or two off the source's length.
const int transcodeFrameSlack = 3;
// The smallest prebuffer: the clips are far longer than what it waits for.
const int smallestBuffer = 4;
const char* const bufferSizeKey = "/enigma/plugins/oxle/buffersize";
const char* const browserPanel = "OXLE-MAIN";
const int browserX = 75;
const int browserY = 75;

long long count(const nlohmann::json& pvr, const char* table, int pid)
{
	const std::string key = std::to_string(pid);
	const nlohmann::json& t = pvr[table];
	return t.contains(key) ? t[key].get<long long>() : 0;
}

bool isBrowserMove(const nlohmann::json& j)
{
	return j.value("class", "") == "eWindow" && j.value("op", "") == "move" && j.value("x", 0) == browserX &&
		j.value("y", 0) == browserY;
}

// The play requests in the server's log, in order.
std::vector<std::string> playRequests(const std::string& log)
{
	std::vector<std::string> plays;
	const std::regex play("\"(VLC\\|PLY\\|[^\"]*)\"");
	for (auto it = std::sregex_iterator(log.begin(), log.end(), play); it != std::sregex_iterator(); ++it)
		plays.push_back((*it)[1]);
	return plays;
}

} // namespace

// Continuous play in real time: OK on the first of two clips plays both, one after the
// other, and the browser comes back over the background picture when the last ends.
TEST(PlaybackE2eTest, PlaysTwoClipsInARowInRealTimeAndReturnsToTheBrowser)
{
	MediaTree media;
	ASSERT_TRUE(media.ok());
	std::string error;
	ASSERT_TRUE(media.addClip("one.ts", MediaTree::Clip::Mpeg2Ts, clipSeconds, error)) << error;
	ASSERT_TRUE(media.addClip("two.ts", MediaTree::Clip::Mpeg2Ts, clipSeconds, error)) << error;
	ServerProcess server({"--root", media.path()});
	ASSERT_TRUE(server.start()) << server.error();

	E2eBox box;
	box.decoder("realtime");
	box.serverPort(server.commandPort());
	box.setInt(bufferSizeKey, smallestBuffer);
	// Two clips of four seconds, each followed by the engine's seven-second run-out,
	// fit well within the pause before Exit.
	box.keys("sleep 300\ndown\nok\nsleep 32000\nexit\n");
	BoxRun run = box.run();
	JournalQuery journal = box.journal();
	ASSERT_EQ(run.exitCode, 0) << run.output << journal.dump();

	// Each file programmed the decoder with the clip's PIDs.
	const size_t firstSet = journal.find("decoder", 0, JournalQuery::opIs("set"));
	ASSERT_NE(firstSet, JournalQuery::npos) << run.output << journal.dump();
	const size_t secondSet = journal.find("decoder", firstSet + 1, JournalQuery::opIs("set"));
	ASSERT_NE(secondSet, JournalQuery::npos) << "continuous play started no second file\n" << journal.dump();
	EXPECT_EQ(journal.find("decoder", secondSet + 1, JournalQuery::opIs("set")), JournalQuery::npos);
	for (size_t set : {firstSet, secondSet})
	{
		EXPECT_EQ(journal[set].value("vpid", 0), videoPid) << journal.dump() << server.log();
		EXPECT_EQ(journal[set].value("apid", 0), audioPid) << journal.dump() << server.log();
	}
	// The front panel names the file that plays.
	EXPECT_LT(journal.find("lcd", firstSet, JournalQuery::textIs("one.ts")), secondSet) << journal.dump();
	EXPECT_NE(journal.find("lcd", secondSet, JournalQuery::textIs("two.ts")), JournalQuery::npos);

	// Between the two: the first stream ended (flushed) and the background was shown.
	const size_t firstEnd = journal.find("decoder", firstSet + 1, JournalQuery::opIs("flush"));
	ASSERT_LT(firstEnd, secondSet);
	EXPECT_NE(journal.find("showiframe", firstEnd), JournalQuery::npos);
	EXPECT_LT(journal.find("showiframe", firstEnd), secondSet);

	// What the decoder counted for the first file, and for both.
	const size_t firstCounts = journal.findLastBefore("pvr", secondSet);
	ASSERT_NE(firstCounts, JournalQuery::npos);
	const nlohmann::json& first = journal[firstCounts];
	const auto pvrs = journal.all("pvr");
	ASSERT_FALSE(pvrs.empty());
	const nlohmann::json& last = pvrs.back();
	EXPECT_TRUE(last.value("final", false));
	EXPECT_GT(count(first, "packets", videoPid), 0);
	EXPECT_GT(count(first, "packets", audioPid), 0);
	EXPECT_GT(first.value("video_frames", 0), 0);
	EXPECT_GT(count(last, "packets", videoPid), count(first, "packets", videoPid));
	EXPECT_GT(count(last, "packets", audioPid), count(first, "packets", audioPid));
	EXPECT_GT(last.value("video_frames", 0), first.value("video_frames", 0));
	// Every picture of both clips reached the decoder, one PES each, unbroken.
	EXPECT_EQ(count(first, "pes", videoPid), clipFrames) << first.dump();
	EXPECT_EQ(count(last, "pes", videoPid), 2 * clipFrames) << last.dump();
	EXPECT_EQ(last.value("cc_errors", -1), 0) << last.dump();
	EXPECT_EQ(last.value("decode_errors", -1), 0) << last.dump();

	// After the last file: the browser view, its panel name, and the background picture.
	const size_t lastEnd = journal.find("decoder", secondSet + 1, JournalQuery::opIs("flush"));
	ASSERT_NE(lastEnd, JournalQuery::npos) << journal.dump();
	const size_t browserBack = journal.find("window", lastEnd, isBrowserMove);
	ASSERT_NE(browserBack, JournalQuery::npos) << journal.dump();
	EXPECT_NE(journal.find("lcd", lastEnd, JournalQuery::textIs(browserPanel)), JournalQuery::npos) << journal.dump();
	const size_t exitKey =
		journal.find("key", lastEnd, [](const nlohmann::json& j) { return j.value("key", "") == "exit"; });
	ASSERT_NE(exitKey, JournalQuery::npos) << "the script's exit came before the playlist ended";
	const size_t still = journal.find("showiframe", lastEnd);
	EXPECT_LT(still, exitKey) << journal.dump();

	// The server was asked to play each file once, in list order; each natural end and
	// the leaving told it to stop.
	const std::string log = server.log();
	EXPECT_EQ(playRequests(log),
		(std::vector<std::string>{"VLC|PLY|" + (media / "one.ts") + "|0|1", "VLC|PLY|" + (media / "two.ts") + "|0|1"}))
		<< log;
	EXPECT_GE(server.requestsLogged("VLC|STP|NOUP"), 3u) << log;
}

// A clip the server must transcode (H.264 and AAC in MP4), decoded as fast as it comes;
// the end-of-playlist action set to "shut down" ends the box by itself.
TEST(PlaybackE2eTest, PlaysATranscodedClipAndQuitsAtThePlaylistEnd)
{
	MediaTree media;
	ASSERT_TRUE(media.ok());
	std::string error;
	ASSERT_TRUE(media.addClip("clip.mp4", MediaTree::Clip::H264Mp4, clipSeconds, error)) << error;
	ServerProcess server({"--root", media.path()});
	ASSERT_TRUE(server.start()) << server.error();

	E2eBox box;
	box.decoder("fast");
	box.serverPort(server.commandPort());
	box.setInt(bufferSizeKey, smallestBuffer);
	// Green three times while playing: restart Enigma, reboot, shut down; each notice is
	// confirmed. The long pause is never finished: the playlist end quits the box.
	box.keys("sleep 300\ndown\nok\nsleep 2500\ngreen\nok\ngreen\nok\ngreen\nok\nsleep 40000\nexit\n");
	BoxRun run = box.run();
	JournalQuery journal = box.journal();
	ASSERT_EQ(run.exitCode, 0) << run.output << journal.dump();

	const std::vector<std::string> notices = journal.texts("msgbox");
	const std::vector<std::string> expected = {"After reaching Playlists End, your dreambox will restart Enigma",
		"After reaching Playlists End, your dreambox will restart itself",
		"After reaching Playlists End, your dreambox will shut Down"};
	ASSERT_GE(notices.size(), expected.size()) << journal.dump();
	EXPECT_EQ(std::vector<std::string>(notices.end() - long(expected.size()), notices.end()), expected);

	const size_t set = journal.find("decoder", 0, JournalQuery::opIs("set"));
	ASSERT_NE(set, JournalQuery::npos) << run.output << journal.dump();
	EXPECT_EQ(journal[set].value("vpid", 0), videoPid) << journal.dump() << server.log();
	EXPECT_EQ(journal[set].value("apid", 0), audioPid) << journal.dump() << server.log();
	const auto pvrs = journal.all("pvr");
	ASSERT_FALSE(pvrs.empty());
	const nlohmann::json& last = pvrs.back();
	EXPECT_GT(count(last, "packets", videoPid), 0);
	EXPECT_GT(count(last, "packets", audioPid), 0);
	EXPECT_GT(last.value("video_frames", 0), 0);
	EXPECT_GT(last.value("audio_frames", 0), 0);
	EXPECT_NEAR(count(last, "pes", videoPid), clipFrames, transcodeFrameSlack) << last.dump();
	EXPECT_EQ(last.value("cc_errors", -1), 0) << last.dump();
	EXPECT_EQ(last.value("decode_errors", -1), 0) << last.dump();

	// The stream's end brought the browser back and then quit with the shut-down code,
	// with no Exit pressed.
	const size_t end = journal.find("decoder", set + 1, JournalQuery::opIs("flush"));
	ASSERT_NE(end, JournalQuery::npos) << journal.dump();
	const size_t panel = journal.find("lcd", end, JournalQuery::textIs(browserPanel));
	EXPECT_NE(panel, JournalQuery::npos) << journal.dump();
	const size_t quit = journal.find("quit", end);
	ASSERT_NE(quit, JournalQuery::npos) << journal.dump();
	EXPECT_LT(panel, quit);
	EXPECT_EQ(journal[quit].value("code", -1), 0);
	EXPECT_EQ(journal.find("key", 0, [](const nlohmann::json& j) { return j.value("key", "") == "exit"; }),
		JournalQuery::npos);
}
