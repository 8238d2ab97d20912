#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "eMainloop.h"

namespace
{
// Ends a test loop after a while, so that a timer that fires too often shows in counts.
const long settleMs = 160;

struct Recorder
{
	std::vector<std::string> fired;
	void add(const std::string& s) { fired.push_back(s); }
};
} // namespace

TEST(eTimer, FiresByDueTimeThenStartOrder)
{
	eMainloop loop;
	Recorder r;
	const struct
	{
		const char* name;
		long ms;
	} starts[] = {{"a120", 120}, {"b40", 40}, {"c40", 40}, {"d0", 0}, {"e40", 40}, {"f80", 80}};
	std::vector<std::unique_ptr<eTimer>> timers;
	for (const auto& s : starts)
	{
		timers.emplace_back(new eTimer(&loop));
		const std::string name = s.name;
		timers.back()->timeout.connect([&r, name] { r.add(name); });
		timers.back()->start(s.ms, true);
	}
	eTimer end(&loop);
	end.timeout.connect([&loop] { loop.quit(3); });
	end.start(settleMs, true);

	EXPECT_EQ(loop.exec(), 3);
	EXPECT_EQ(r.fired, (std::vector<std::string>{"d0", "b40", "c40", "e40", "f80", "a120"}));
	for (const auto& t : timers)
		EXPECT_FALSE(t->isActive());
}

// Slots that stop, restart or delete their own timer, or another one due in the same turn.
TEST(eTimer, SlotMayStopRestartOrDeleteTimers)
{
	eMainloop loop;
	int stopSelf = 0, deleteSelf = 0, restartSelf = 0, repeating = 0, deleter = 0, victim = 0;

	eTimer stopper(&loop);
	stopper.timeout.connect([&] {
		++stopSelf;
		stopper.stop();
	});
	stopper.start(5);

	eTimer* selfDeleting = new eTimer(&loop);
	selfDeleting->timeout.connect([&] {
		++deleteSelf;
		delete selfDeleting;
		selfDeleting = nullptr;
	});
	selfDeleting->start(5);

	eTimer restarter(&loop);
	restarter.timeout.connect([&] {
		if (++restartSelf < 3)
			restarter.start(5, true);
	});
	restarter.start(5, true);

	eTimer counter(&loop);
	counter.timeout.connect([&] {
		if (++repeating == 3)
			counter.stop();
	});
	counter.start(5);

	// Both due in the same turn; the first one started deletes the second.
	eTimer first(&loop);
	eTimer* second = new eTimer(&loop);
	first.timeout.connect([&] {
		++deleter;
		delete second;
		second = nullptr;
	});
	second->timeout.connect([&] { ++victim; });
	first.start(0, true);
	second->start(0, true);

	eTimer end(&loop);
	end.timeout.connect([&loop] { loop.quit(); });
	end.start(settleMs, true);
	loop.exec();

	EXPECT_EQ(stopSelf, 1);
	EXPECT_FALSE(stopper.isActive());
	EXPECT_EQ(deleteSelf, 1);
	EXPECT_EQ(restartSelf, 3);
	EXPECT_FALSE(restarter.isActive());
	EXPECT_EQ(repeating, 3);
	EXPECT_EQ(deleter, 1);
	EXPECT_EQ(victim, 0);
}

TEST(eTimer, ChangeIntervalAndRestartKeepOneSchedule)
{
	eMainloop loop;
	int fired = 0;
	eTimer t(&loop);
	t.timeout.connect([&] { ++fired; });
	t.start(10000, true);
	t.start(10000, true); // a second start replaces the first, it does not add one
	t.changeInterval(0);
	EXPECT_TRUE(t.isActive());
	eTimer end(&loop);
	end.timeout.connect([&loop] { loop.quit(); });
	end.start(settleMs, true);
	loop.exec();
	EXPECT_EQ(fired, 1);
}

TEST(eMainloop, TimerFiresInsideNestedLoopsAndExitEndsOnlyTheInnermost)
{
	eMainloop loop;
	std::vector<std::string> trace;
	eTimer outer(&loop), inner(&loop), innermost(&loop), later(&loop);

	outer.timeout.connect([&] {
		trace.push_back("outer " + std::to_string(loop.loopLevel()));
		inner.start(5, true);
		loop.enter_loop();
		trace.push_back("outer back " + std::to_string(loop.loopLevel()));
		loop.quit(9);
	});
	inner.timeout.connect([&] {
		trace.push_back("inner " + std::to_string(loop.loopLevel()));
		innermost.start(5, true);
		loop.enter_loop();
		trace.push_back("inner back " + std::to_string(loop.loopLevel()));
		later.start(5, true);
	});
	innermost.timeout.connect([&] {
		trace.push_back("innermost " + std::to_string(loop.loopLevel()));
		loop.exit_loop();
	});
	later.timeout.connect([&] {
		trace.push_back("later " + std::to_string(loop.loopLevel()));
		loop.exit_loop();
	});
	outer.start(0, true);

	EXPECT_EQ(loop.exec(), 9);
	EXPECT_EQ(loop.loopLevel(), 0);
	EXPECT_EQ(trace,
		(std::vector<std::string>{"outer 1", "inner 2", "innermost 3", "inner back 2", "later 2", "outer back 1"}));
}

TEST(eMainloop, QuitEndsEveryLevel)
{
	eMainloop loop;
	int returned = 0;
	eTimer a(&loop), b(&loop), c(&loop);
	a.timeout.connect([&] {
		b.start(0, true);
		loop.enter_loop();
		++returned;
	});
	b.timeout.connect([&] {
		c.start(0, true);
		loop.enter_loop();
		++returned;
	});
	c.timeout.connect([&] { loop.quit(7); });
	a.start(0, true);
	EXPECT_EQ(loop.exec(), 7);
	EXPECT_EQ(returned, 2);
	EXPECT_TRUE(loop.quitRequested());
	EXPECT_EQ(loop.exitCode(), 7);
	loop.enter_loop(); // returns at once once quit
}

TEST(eMainloop, PostFromOtherThreadsRunsOnTheLoopThreadInOrder)
{
	eMainloop loop;
	const int perThread = 200;
	std::vector<int> seen[2];
	bool allOnLoopThread = true;
	int done = 0;
	const std::thread::id loopThread = std::this_thread::get_id();

	std::vector<std::thread> posters;
	for (int p = 0; p < 2; ++p)
	{
		posters.emplace_back([&, p] {
			for (int i = 0; i < perThread; ++i)
				loop.post([&, p, i] {
					allOnLoopThread = allOnLoopThread && std::this_thread::get_id() == loopThread;
					seen[p].push_back(i);
					if (i == perThread - 1 && ++done == 2)
						loop.quit();
				});
		});
	}
	// No timers: the loop sleeps until work arrives.
	loop.exec();
	for (std::thread& t : posters)
		t.join();

	EXPECT_TRUE(allOnLoopThread);
	for (const auto& s : seen)
	{
		ASSERT_EQ(int(s.size()), perThread);
		for (int i = 0; i < perThread; ++i)
			EXPECT_EQ(s[size_t(i)], i);
	}
}

// The application loop exists from load on and serves timers made without a context.
TEST(eMainloop, ApplicationLoopIsReadyToUse)
{
	ASSERT_NE(eApp, nullptr);
	eTimer t;
	bool nested = false;
	t.timeout.connect([&] {
		nested = eApp->loopLevel() == 1;
		eApp->exit_loop();
	});
	t.start(0, true);
	eApp->enter_loop();
	EXPECT_TRUE(nested);
	EXPECT_FALSE(eApp->quitRequested());
}
