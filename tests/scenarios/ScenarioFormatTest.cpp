// The scenario format's guard rails: the real server takes a password and the made disc as
// its drive, nothing else (no address, no drive of the machine).
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
		{"disc a/d.iso dvd\n", false},
		{"disc d.iso dvd seconds=0\n", false},
		{"pictures\n  shot 10 20 00ff8g\n", false},
		{"pictures\n  shot -1 20 00ff80\n", false},
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
}
} // namespace
