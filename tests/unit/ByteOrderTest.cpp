// The binary runs on the processor its tree was configured for. Under qemu-ppc a binary
// built for the build machine by mistake would pass every other test and prove nothing
// about the box.
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>

#include <gtest/gtest.h>
#include <sys/utsname.h>

namespace
{
bool builtForPowerPc()
{
	const std::string processor = OXLE_TARGET_PROCESSOR;
	return processor.rfind("powerpc", 0) == 0 || processor.rfind("ppc", 0) == 0;
}

TEST(ByteOrder, IsTheTargetProcessors)
{
	const std::uint32_t word = 0x0A0B0C0D;
	unsigned char first = 0;
	std::memcpy(&first, &word, 1);
	utsname system{};
	ASSERT_EQ(uname(&system), 0);
	const std::string machine = system.machine;
	if (builtForPowerPc())
	{
		// The box: 32-bit big-endian, unsigned char; its kernel (or qemu-ppc) says "ppc".
		EXPECT_EQ(first, 0x0A) << "big-endian";
		EXPECT_EQ(sizeof(long), 4u);
		EXPECT_EQ(sizeof(void*), 4u);
		EXPECT_FALSE(std::is_signed<char>::value);
		EXPECT_EQ(machine.rfind("ppc", 0), 0u) << machine;
	}
	else
	{
		EXPECT_EQ(first, 0x0D) << "little-endian";
		EXPECT_EQ(machine, OXLE_TARGET_PROCESSOR);
	}
}
} // namespace
