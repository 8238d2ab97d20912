// Every test of this binary runs against a throw-away box root whose configuration
// points the plugin at 127.0.0.1, set up before the first test sends anything.
#include <gtest/gtest.h>

#include "BoxRoot.h"
#include "DesktopServices.h"
#include "EngineTestSupport.h"
#include "LoopbackGuard.h"
#include "TempBoxRoot.h"

namespace
{
TempBoxRoot* activeRoot = nullptr;

class BoxRootEnvironment : public ::testing::Environment
{
public:
	void SetUp() override
	{
		ASSERT_TRUE(root.ok()) << "no temporary box root";
		ASSERT_TRUE(root.writeFile("/dev/.keep", ""));
		setBoxRoot(root.path());
		DesktopServices::init();
		requireLoopbackServer();
		activeRoot = &root;
	}
	void TearDown() override
	{
		activeRoot = nullptr;
		setBoxRoot("");
	}

private:
	TempBoxRoot root;
};
} // namespace

TempBoxRoot& engineTestRoot()
{
	return *activeRoot;
}

int main(int argc, char** argv)
{
	::testing::InitGoogleTest(&argc, argv);
	::testing::AddGlobalTestEnvironment(new BoxRootEnvironment);
	return RUN_ALL_TESTS();
}
