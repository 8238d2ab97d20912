// The scenario format's guard rails: the real server takes a password and the made disc as
// its drive, nothing else (no address, no drive of the machine); discs and picture checks
// are read as written.
#include <gtest/gtest.h>

#include "Scenario.h"

namespace
{
const char KEYS_AND_EXPECT[] = "keys\n  exit\nexpect\n  quit code=0\n";

TEST(ScenarioFormat, ServerDiscAndPictureLines)
{
	struct Row
	{
		const char* lines;
		bool ok;
	};
	const Row rows[] = {
		{"server real --cd-drive {disc}\ndisc d.iso dvd\n", true},
		{"disc v.cue vcd seconds=3\nserver real --password 7 --cd-drive {disc}\n", true},
		{"server real --cd-drive /dev/sr0\ndisc d.iso dvd\n", false},
		{"server real --cd-drive {disc}\n", false}, // no disc to be the drive
		{"server real --bind 0.0.0.0\n", false},
		{"server real --password\n", false},
		{"server fake --cd-drive {disc}\ndisc d.iso dvd\n", false},
		{"disc ../d.iso dvd\n", false},
		{"disc a/d.iso dvd\n", false},
		{"disc d.iso cd\n", false},
		{"disc d.iso dvd seconds=0\n", false},
		{"disc d.iso dvd speed=2\n", false},
		{"disc d.iso dvd\ndisc e.iso dvd\n", false},
		{"pictures\n  shot 10 20 00ff80\n", true},
		{"pictures\n  shot 10 20 00ff8\n", false},
		{"pictures\n  shot 10 20 00ff8g\n", false},
		{"pictures\n  shot -1 20 00ff80\n", false},
		{"pictures\n  shot 10 00ff80\n", false},
	};
	for (const Row& row : rows)
	{
		// The lines before or after the others, so that a section header in them closes.
		const bool section = std::string(row.lines).rfind("pictures", 0) == 0;
		const std::string text =
			section ? KEYS_AND_EXPECT + std::string(row.lines) : row.lines + std::string(KEYS_AND_EXPECT);
		Scenario scenario;
		std::string error;
		EXPECT_EQ(scenario.parse(text, error), row.ok) << row.lines << error;
	}
	Scenario scenario;
	std::string error;
	ASSERT_TRUE(scenario.parse(std::string("disc v.cue vcd seconds=3\nserver real --cd-drive {disc}\n") +
			KEYS_AND_EXPECT + "pictures\n  shot 10 20 00ff80\n",
		error))
		<< error;
	EXPECT_TRUE(scenario.serverCdDrive);
	EXPECT_EQ(scenario.discName, "v.cue");
	EXPECT_TRUE(scenario.disc.kind == MediaMaker::DiscKind::Vcd && scenario.disc.seconds == 3);
	ASSERT_EQ(scenario.pictures.size(), 1u);
	const Scenario::Picture& p = scenario.pictures[0];
	EXPECT_TRUE(p.snapshot == "shot" && p.x == 10 && p.y == 20 && p.rgb == 0x00ff80u);
}

TEST(ScenarioFormat, ColoursLookAlikeWithinTheTolerancePerChannel)
{
	const std::tuple<unsigned, unsigned, bool> rows[] = {
		{0x087b08, 0x008000, true},  // a decoded green
		{0x087b08, 0x0000ff, false}, // ... is no blue
		{0x308000, 0x008000, true},  // 48 off in red
		{0x318000, 0x008000, false}, // 49
		{0x00b000, 0x008000, true},  // 48 off in green
		{0x00b100, 0x008000, false},
		{0x000030, 0x000000, true}, // 48 off in blue
		{0x000031, 0x000000, false},
	};
	for (const auto& [got, wanted, alike] : rows)
		EXPECT_EQ(Scenario::looksLike(got, wanted), alike) << std::hex << got << " " << wanted;
}
} // namespace
