#include <gtest/gtest.h>

#include <functional>

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
	// A close before exec returns at once and is used up.
	outerWindow.close(3);
	EXPECT_EQ(outerWindow.exec(), 3);
	EXPECT_EQ(execWith(outerWindow, [&outerWindow] { outerWindow.close(4); }), 4);
}
