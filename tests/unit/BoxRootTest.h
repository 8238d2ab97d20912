#ifndef OXLE_TESTS_UNIT_BOXROOTTEST_H
#define OXLE_TESTS_UNIT_BOXROOTTEST_H

#include <gtest/gtest.h>

#include "BoxRoot.h"
#include "TempBoxRoot.h"

// A fresh box root for each test, so that nothing lands in the machine's own /etc or /var.
class BoxRootTest : public ::testing::Test
{
protected:
	void SetUp() override
	{
		ASSERT_TRUE(root.ok());
		setBoxRoot(root.path());
	}
	void TearDown() override { setBoxRoot(""); }

	TempBoxRoot root;
};

#endif
