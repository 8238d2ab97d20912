#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "ModalStack.h"
#include "eMainloop.h"
#include "eWindow.h"

namespace
{
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
