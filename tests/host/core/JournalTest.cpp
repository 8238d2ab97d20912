#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "CoreTestSupport.h"

TEST(Journal, LinesStayWholeUnderThreadsAndOddBytes)
{
	TestRoot root;
	const int threads = 4;
	const int perThread = 300;
	std::vector<std::thread> writers;
	for (int t = 0; t < threads; ++t)
		writers.emplace_back([t] {
			for (int i = 0; i < perThread; ++i)
				Journal::instance().event("w", {{"thread", t}, {"i", i}, {"text", "\xe4\xff"}});
		});
	for (std::thread& w : writers)
		w.join();
	Journal::instance().event("plain");
	Journal::instance().event("odd", nlohmann::json::array({1, 2}));
	Journal::instance().event("spoof", {{"t", -1}, {"ev", "other"}});

	const auto lines = root.events("w");
	ASSERT_EQ(int(lines.size()), threads * perThread);
	std::vector<int> next(threads, 0);
	for (const auto& j : lines)
	{
		ASSERT_TRUE(j.contains("t"));
		const int t = j["thread"];
		EXPECT_EQ(j["i"], next[size_t(t)]++) << "one thread's lines keep their order";
	}
	EXPECT_EQ(root.events("plain").size(), 1u);
	ASSERT_EQ(root.events("odd").size(), 1u);
	EXPECT_EQ(root.events("odd")[0]["data"], nlohmann::json::array({1, 2}));
	ASSERT_EQ(root.events("spoof").size(), 1u);
	EXPECT_GE(root.events("spoof")[0]["t"].get<long long>(), 0);

	// Nothing is written, and nothing fails, while no journal is open.
	Journal::instance().close();
	Journal::instance().event("closed");
	EXPECT_FALSE(Journal::instance().isOpen());
}
