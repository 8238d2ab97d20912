#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ModalStack.h"
#include "eMainloop.h"
#include "eWindow.h"

namespace
{
// Long enough for every short timer of a test to have fired, so that one that fires
// too often shows in the counts.
const long settleMs = 160;
// Closes a window whose test went wrong, so that the test fails instead of hanging.
const long safetyMs = 5000;
const int safetyResult = -4242;

// Runs window's exec() with script queued on the loop.
int execWith(eWidget& window, std::function<void()> script)
{
	eTimer safety(eApp);
	safety.timeout.connect([&window] { window.close(safetyResult); });
	safety.start(safetyMs, true);
	eApp->post(std::move(script));
	const int result = window.exec();
	safety.stop();
	return result;
}

void runFor(eMainloop& loop, long ms)
{
	eTimer end(&loop);
	end.timeout.connect([&loop] { loop.quit(); });
	end.start(ms, true);
	loop.exec();
}

// A window that closes itself from a timer slot of its own.
class SelfClosing : public eWindow
{
public:
	static constexpr int result = 11;
	SelfClosing() : timer(eApp) { timer.timeout.connect(sigc::mem_fun(*this, &SelfClosing::done)); }
	void arm() { timer.start(10, true); }

private:
	void done() { close(result); }
	eTimer timer;
};
} // namespace

TEST(eTimer, FiresByDueTimeThenByStartOrder)
{
	eMainloop loop;
	std::vector<std::string> fired;
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
		timers.back()->timeout.connect([&fired, name] { fired.push_back(name); });
		timers.back()->start(s.ms, true);
	}
	runFor(loop, settleMs);
	EXPECT_EQ(fired, (std::vector<std::string>{"d0", "b40", "c40", "e40", "f80", "a120"}));
	for (const auto& t : timers)
		EXPECT_FALSE(t->isActive());
}

// Slots that stop, restart or delete their own timer, or another one due in the same turn.
TEST(eTimer, SlotsMayStopRestartOrDeleteTimers)
{
	eMainloop loop;
	int stopSelf = 0, deleteSelf = 0, restartSelf = 0, repeating = 0, deleter = 0, victim = 0;
	const long tick = 5;
	const int repeats = 3;

	eTimer stopper(&loop);
	stopper.timeout.connect([&] {
		++stopSelf;
		stopper.stop();
	});
	stopper.start(tick);

	auto* selfDeleting = new eTimer(&loop);
	selfDeleting->timeout.connect([&] {
		++deleteSelf;
		delete selfDeleting;
	});
	selfDeleting->start(tick);

	eTimer restarter(&loop);
	restarter.timeout.connect([&] {
		if (++restartSelf < repeats)
			restarter.start(tick, true);
	});
	restarter.start(tick, true);

	eTimer counter(&loop);
	counter.timeout.connect([&] {
		if (++repeating == repeats)
			counter.stop();
	});
	counter.start(tick);

	// Both due in the same turn; the one started first deletes the other.
	eTimer first(&loop);
	auto* second = new eTimer(&loop);
	first.timeout.connect([&] {
		++deleter;
		delete second;
	});
	second->timeout.connect([&] { ++victim; });
	first.start(0, true);
	second->start(0, true);

	// A second start replaces the first; a new interval counts from the start.
	int changed = 0;
	eTimer moved(&loop);
	moved.timeout.connect([&] { ++changed; });
	moved.start(safetyMs, true);
	moved.start(safetyMs, true);
	moved.changeInterval(0);

	runFor(loop, settleMs);
	EXPECT_EQ(stopSelf, 1);
	EXPECT_FALSE(stopper.isActive());
	EXPECT_EQ(deleteSelf, 1);
	EXPECT_EQ(restartSelf, repeats);
	EXPECT_FALSE(restarter.isActive());
	EXPECT_EQ(repeating, repeats);
	EXPECT_EQ(deleter, 1);
	EXPECT_EQ(victim, 0);
	EXPECT_EQ(changed, 1);
}

// A slot that restarts its timer with no delay must not keep the loop from its other work.
TEST(eTimer, ATimerRestartedWithNoDelayWaitsForTheNextTurn)
{
	eMainloop loop;
	const int bound = 1000; // ends the test, not a hang, should every restart fire at once
	int fired = 0;
	eTimer again(&loop);
	again.timeout.connect([&] {
		if (++fired < bound)
			again.start(0, true);
	});
	again.start(0, true);
	for (int turn = 1; turn <= 3; ++turn)
	{
		loop.processOneEvent(0);
		EXPECT_EQ(fired, turn);
	}
}

TEST(eMainloop, ExitLoopEndsOnlyTheInnermostLevelAndQuitEndsAll)
{
	eMainloop loop;
	std::vector<std::string> trace;
	eTimer outer(&loop), inner(&loop), innermost(&loop), later(&loop), quitter(&loop);
	const auto mark = [&](const std::string& what) { trace.push_back(what + " " + std::to_string(loop.loopLevel())); };
	outer.timeout.connect([&] {
		mark("outer");
		inner.start(5, true);
		loop.enter_loop();
		mark("outer back");
		quitter.start(0, true);
		loop.enter_loop();
		mark("after quit");
	});
	inner.timeout.connect([&] {
		mark("inner");
		innermost.start(5, true);
		loop.enter_loop();
		mark("inner back");
		later.start(5, true);
	});
	innermost.timeout.connect([&] {
		mark("innermost");
		loop.exit_loop();
	});
	later.timeout.connect([&] {
		mark("later");
		loop.exit_loop();
	});
	quitter.timeout.connect([&] { loop.quit(9); });
	outer.start(0, true);

	EXPECT_EQ(loop.exec(), 9);
	EXPECT_EQ(loop.loopLevel(), 0);
	EXPECT_EQ(trace,
		(std::vector<std::string>{
			"outer 1", "inner 2", "innermost 3", "inner back 2", "later 2", "outer back 1", "after quit 1"}));
	EXPECT_TRUE(loop.quitRequested());
	loop.enter_loop(); // returns at once once quit
}

TEST(eMainloop, WorkPostedFromOtherThreadsRunsOnTheLoopThreadInOrder)
{
	eMainloop loop;
	const int perThread = 200;
	const int posters = 2;
	std::vector<int> seen[posters];
	bool allOnLoopThread = true;
	int done = 0;
	const std::thread::id loopThread = std::this_thread::get_id();

	std::vector<std::thread> threads;
	for (int p = 0; p < posters; ++p)
		threads.emplace_back([&, p] {
			for (int i = 0; i < perThread; ++i)
				loop.post([&, p, i] {
					allOnLoopThread = allOnLoopThread && std::this_thread::get_id() == loopThread;
					seen[p].push_back(i);
					if (i == perThread - 1 && ++done == posters)
						loop.quit();
				});
		});
	// No timers: the loop sleeps until work arrives.
	loop.exec();
	for (std::thread& t : threads)
		t.join();
	EXPECT_TRUE(allOnLoopThread);
	for (const auto& s : seen)
	{
		ASSERT_EQ(int(s.size()), perThread);
		for (int i = 0; i < perThread; ++i)
			EXPECT_EQ(s[size_t(i)], i);
	}
}

TEST(ModalLoop, CloseBeforeExecReturnsAtOnceAndIsUsedUp)
{
	eWindow window;
	window.close(3);
	EXPECT_EQ(window.exec(), 3);
	EXPECT_EQ(execWith(window, [&window] { window.close(4); }), 4);
	EXPECT_EQ(ModalStack::top(), nullptr);
}

TEST(ModalLoop, CloseEndsOnlyTheInnermostExec)
{
	eWindow outerWindow;
	std::vector<std::string> order;
	const int outer = execWith(outerWindow, [&] {
		eWindow inner;
		order.push_back("inner " + std::to_string(execWith(inner, [&inner] { inner.close(-1); })));
		EXPECT_TRUE(outerWindow.isExecuting());
		EXPECT_EQ(ModalStack::top(), &outerWindow);
		eApp->post([&] {
			order.push_back("outer still running");
			outerWindow.close(9);
		});
	});
	order.push_back("outer " + std::to_string(outer));
	EXPECT_EQ(order, (std::vector<std::string>{"inner -1", "outer still running", "outer 9"}));
}

TEST(ModalLoop, AnOuterWindowClosedDuringAnInnerExecEndsAfterIt)
{
	eWindow outerWindow;
	int innerResult = 0;
	const int outer = execWith(outerWindow, [&] {
		eWindow inner;
		innerResult = execWith(inner, [&] {
			outerWindow.close(5);
			eApp->post([&inner] { inner.close(6); });
		});
	});
	EXPECT_EQ(innerResult, 6);
	EXPECT_EQ(outer, 5);
	EXPECT_EQ(ModalStack::top(), nullptr);
}

TEST(ModalLoop, AWindowClosesItselfFromItsOwnSlotAndIsDeletedAfterExec)
{
	auto* window = new SelfClosing;
	window->show();
	window->arm();
	const int result = window->exec();
	delete window;
	EXPECT_EQ(result, SelfClosing::result);
	EXPECT_EQ(ModalStack::top(), nullptr);
	EXPECT_EQ(eApp->loopLevel(), 0);
}

TEST(ModalLoop, ATimerStopsItselfFromItsSlotInsideExec)
{
	eWindow window;
	eTimer ticker(eApp), finish(eApp);
	int ticks = 0;
	const int wanted = 3;
	ticker.timeout.connect([&] {
		if (++ticks == wanted)
			ticker.stop();
	});
	finish.timeout.connect([&] { window.close(1); });
	ticker.start(5);
	finish.start(settleMs, true);
	EXPECT_EQ(execWith(window, [] {}), 1);
	EXPECT_EQ(ticks, wanted);
	EXPECT_FALSE(ticker.isActive());
}
