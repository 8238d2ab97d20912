// Bounds in total that keep the GUI thread from freezing behind a slow server that is never silent.
#include <string>
#include <tuple>
#include <vector>

#include "EngineTestSupport.h"
#include "MonotonicMs.h"
#include "StreamThreads.h"
#include "StreamTimings.h"
#include "eTCP.h"
#include "oxleGlobals.h"

namespace
{
// The test binary's silence limit stays; the deadline in total is cut to twice that.
const int TOTAL_MS = 2 * TEST_REPLY_SILENCE_MS;
// A bound may be overrun by this much on a loaded sanitizer build.
const int SLACK_MS = 1500;
// Waits the tests that must not wait at all set, so that not waiting shows.
const int LONG_WAIT_MS = 3000;
const char STOP[] = "VLC|STP|NOUP";
const int TS_PACKET = 188;
// Half the default prebuffer target of 4,187,136 bytes, and a few packets more.
const int MORE_THAN_HALF_TARGET_PACKETS = 2093568 / TS_PACKET + 10;
// Ten seconds of them at one every quarter of the silence limit.
const int TRICKLED_PACKETS = 40;

template <typename Call> long long elapsedMs(Call call)
{
	const long long start = monotonicMs();
	call();
	return monotonicMs() - start;
}

bool isStrictPrefix(const std::string& part, const std::string& whole)
{
	return !part.empty() && part.size() < whole.size() && whole.compare(0, part.size(), part) == 0;
}

class Deadline : public EngineTest
{
protected:
	void SetUp() override
	{
		EngineTest::SetUp();
		connectMs = eTCP::connectTimeoutMs();
		eTCP::setTimeoutsForTesting(connectMs, TEST_REPLY_SILENCE_MS, TOTAL_MS);
	}
	void TearDown() override
	{
		EngineTest::TearDown();
		eTCP::setTimeoutsForTesting(connectMs, TEST_REPLY_SILENCE_MS);
	}
	int connectMs = 0;
};

TEST_F(Deadline, ReplyCutBySilenceOrDeadlineIsUsedAsFarAsItCame)
{
	std::string list = "<list>";
	for (int i = 0; i < 40; ++i)
		list += "<entry name=\"file" + std::to_string(i) + "\"/>";
	list += "</list>";
	FakeServer::Reply partThenSilence = FakeServer::Reply::text("<list><entry");
	partThenSilence.stallAfter = true;
	// Never silent for the silence limit, and far longer than the deadline in all; or a part,
	// then silence. Empty: a part of list, cut at the deadline.
	const std::pair<FakeServer::Reply, std::string> cases[] = {
		{FakeServer::Reply::slowly(list, 8, TEST_REPLY_SILENCE_MS / 4), ""}, {partThenSilence, "<list><entry"}};
	for (const auto& [reply, expected] : cases)
	{
		SCOPED_TRACE(expected);
		FakeServer server([&reply = reply](const std::string&) { return reply; });
		ASSERT_TRUE(server.ok()) << server.error();
		HostTestEnv::useServer(server.port());
		eString result;
		const long long took =
			elapsedMs([&] { result = eTCP::getInstance()->sendGetRequest("VLC", "GFL", "/media", "", "", false); });
		if (expected.empty())
			EXPECT_TRUE(isStrictPrefix(result, list)) << result;
		else
			EXPECT_EQ(result, expected);
		EXPECT_LT(took, TOTAL_MS + SLACK_MS);
	}
}

TEST_F(Deadline, PrebufferingThatTricklesEndsAtItsDeadline)
{
	streamTimings().prebufferTotalMs = TOTAL_MS;
	FifoDrain decoder(pvrPath());
	// One packet at a time, never silent for the silence limit; in the second row half
	// the target comes at once, enough to play.
	const std::vector<std::pair<int, int>> cases = {
		{0, eOXLEEngine::STREAM_TOO_LITTLE_DATA}, {MORE_THAN_HALF_TARGET_PACKETS, 0}};
	for (const auto& [atOnce, result] : cases)
	{
		SCOPED_TRACE(atOnce);
		FakeHttpStream::Script script = streamOf(programme(atOnce + TRICKLED_PACKETS), FakeHttpStream::End::Silent);
		script.bodyWithHeader = size_t(atOnce) * TS_PACKET;
		script.chunkBytes = TS_PACKET;
		script.gapMs = TEST_REPLY_SILENCE_MS / 4;
		serve(script);
		int got = 1;
		const long long took = elapsedMs([&] { got = playStreamOf("/media/film.avi"); });
		EXPECT_EQ(got, result);
		EXPECT_LT(took, TOTAL_MS + SLACK_MS);
		endStream();
	}
}

TEST_F(Deadline, OnlyAStopOnTheGuiThreadWaitsForAServerThatNeverAnswersIt)
{
	commandServer = std::make_unique<FakeServer>([this](const std::string& request) {
		if (request == STOP)
			return FakeServer::Reply::stall();
		return FakeServer::Reply::text(request == "RQS|SPO|NO" ? std::to_string(streamPort.load()) : "+ok");
	});
	ASSERT_TRUE(commandServer->ok()) << commandServer->error();
	HostTestEnv::useServer(commandServer->port());
	eTCP::setTimeoutsForTesting(connectMs, LONG_WAIT_MS, LONG_WAIT_MS);
	streamTimings().emptyPollLimitVideo = WAIT_MS;
	// how, whether it waits, the stops the server hears: the viewer's stop is the
	// feeder's alone (the main window tells the server itself); terminate and stop
	// cancel the feeder and tell the server besides.
	const std::tuple<const char*, bool, size_t> cases[] = {
		{"closing", false, 1}, {"terminate", false, 2}, {"stop", true, 2}};
	for (const auto& [how, waits, told] : cases)
	{
		SCOPED_TRACE(how);
		FifoDrain decoder(pvrPath());
		serve(streamOf(programme(LONG_STREAM_PACKETS), FakeHttpStream::End::Silent));
		const size_t stops = countCommand(STOP);
		start("/media/film.avi");
		ASSERT_EQ(status(), eOXLEEngine::STATUS_STARTED);
		const long long took = elapsedMs([&] {
			if (std::string(how) != "closing")
				engine()->control(how, "", "", "", 0);
			else
			{
				engine()->status = eOXLEEngine::STATUS_CLOSING;
				ASSERT_TRUE(waitForStatus(eOXLEEngine::STATUS_STOPPED));
				// A feeder that ended by itself keeps its id until it is joined.
				EXPECT_NE(pvr, pthread_t(0));
				engine()->joinEndedStream();
			}
		});
		EXPECT_EQ(status(), eOXLEEngine::STATUS_STOPPED);
		EXPECT_EQ(pvr, pthread_t(0));
		EXPECT_EQ(receiver, pthread_t(0));
		if (waits)
			EXPECT_GE(took, LONG_WAIT_MS);
		else
			EXPECT_LT(took, LONG_WAIT_MS);
		EXPECT_TRUE(pumpUntil([&] { return countCommand(STOP) == stops + told; }));
	}
}
} // namespace
