#ifndef OXLE_TESTS_GUITESTSUPPORT_H
#define OXLE_TESTS_GUITESTSUPPORT_H

#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

class eWidget;

namespace GuiTest
{
// A fresh temporary folder, removed with everything in it when the object goes.
class TempDir
{
public:
	TempDir();
	~TempDir();
	const std::string& path() const { return dir; }
	std::string file(const std::string& name) const { return dir + "/" + name; }

private:
	std::string dir;
};

// Points the journal at a file of its own and reads back what was written.
class JournalCapture
{
public:
	JournalCapture();
	~JournalCapture();
	std::vector<nlohmann::json> events(const std::string& ev = std::string()) const;

private:
	TempDir dir;
};

// Runs widget's exec() with script posted to the main loop. A safety timer closes the
// widget with safetyResult after a few seconds so that a broken test fails instead of
// hanging.
int execWith(eWidget& widget, std::function<void()> script);
const int safetyResult = -4242;

// Turns the main loop once or more until nothing is left to do right now.
void drainLoop();

std::string defaultSkinPath();
void writeFile(const std::string& path, const std::string& content);
} // namespace GuiTest

#endif
