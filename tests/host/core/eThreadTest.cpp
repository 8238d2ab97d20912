#include <gtest/gtest.h>

#include <atomic>
#include <unistd.h>

#include "eThread.h"

namespace
{
class Worker : public eThread
{
public:
	explicit Worker(bool blockUntilCancelled) : block(blockUntilCancelled) {}
	~Worker() override { kill(); }
	void thread() override
	{
		started = true;
		const useconds_t nap = 1000;
		while (block)
			usleep(nap); // a cancellation point
		ran = true;
	}
	void thread_finished() override { finished = true; }

	const bool block;
	std::atomic<bool> started{false}, ran{false}, finished{false};
};
} // namespace

TEST(eThread, RunsJoinsAndCancels)
{
	Worker plain(false);
	EXPECT_EQ(plain.run(), 0);
	EXPECT_EQ(plain.run(), -1) << "one thread per object until it is joined";
	plain.kill();
	EXPECT_TRUE(plain.ran);
	EXPECT_TRUE(plain.finished);
	EXPECT_FALSE(plain.thread_running());
	EXPECT_EQ(plain.run(), 0) << "a joined thread object can run again";
	plain.kill();

	Worker stuck(true);
	ASSERT_EQ(stuck.run(), 0);
	while (!stuck.started)
		usleep(1000);
	EXPECT_TRUE(stuck.thread_running());
	stuck.kill(true);
	EXPECT_FALSE(stuck.ran);
	EXPECT_TRUE(stuck.finished) << "the clean-up runs on cancellation too";
	EXPECT_FALSE(stuck.thread_running());
}
