#ifndef OXLE_TESTS_SCENARIOS_SCENARIORUNNER_H
#define OXLE_TESTS_SCENARIOS_SCENARIORUNNER_H

#include <string>

#include "BoxProcess.h"
#include "Scenario.h"

// Runs one scenario (see Scenario.h): makes the served folder, starts the server it names
// on 127.0.0.1, runs oxle-box with its keys and checks the journal and the requests.
//
//   Scenario scenario;
//   ASSERT_TRUE(scenario.parse(text, error)) << error;
//   ScenarioRunner runner(scenario);
//   EXPECT_TRUE(runner.run(error)) << error;
//   Picture top(runner.snapshot("top"));      // a "snap top" of its keys
class ScenarioRunner
{
public:
	explicit ScenarioRunner(Scenario scenario) : scenario(std::move(scenario)) {}

	// False with what went wrong, the whole journal, the server's log and the box's output.
	bool run(std::string& failure);
	std::string snapshot(const std::string& name) const { return box.dir() / ("snaps/" + name + ".png"); }

private:
	bool serve(std::string& failure);
	std::string check(const BoxProcess::Result& result) const;
	std::string expanded(std::string text) const;

	const Scenario scenario;
	TempDir served{"oxle-served"};
	BoxProcess box;
	std::vector<std::pair<std::string, std::string>> values; // placeholder -> text
	std::vector<std::string> requests;                       // what the server saw, in order
	std::string serverLog;
};

#endif
