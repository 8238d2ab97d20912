#include "GuiTestSupport.h"

#include <cstdlib>
#include <fstream>

#include <gtest/gtest.h>

#include "Journal.h"
#include "eMainloop.h"
#include "eWidget.h"

namespace GuiTest
{
namespace
{
const long safetyMs = 5000;
const int drainTurns = 20;
} // namespace

TempDir::TempDir()
{
	char pattern[] = "/tmp/oxle-gui-test-XXXXXX";
	const char* made = mkdtemp(pattern);
	dir = made ? made : "/tmp";
}

TempDir::~TempDir()
{
	if (dir.rfind("/tmp/oxle-gui-test-", 0) == 0)
		(void)!system(("rm -rf '" + dir + "'").c_str());
}

JournalCapture::JournalCapture()
{
	Journal::instance().open(dir.file("journal.jsonl"));
}

JournalCapture::~JournalCapture()
{
	Journal::instance().close();
}

std::vector<nlohmann::json> JournalCapture::events(const std::string& ev) const
{
	// The journal flushes every line, so the file can be read while it stays open.
	std::vector<nlohmann::json> out;
	std::ifstream in(dir.file("journal.jsonl"));
	std::string line;
	while (std::getline(in, line))
	{
		const nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
		if (j.is_discarded())
		{
			ADD_FAILURE() << "journal line is not JSON: " << line;
			continue;
		}
		if (ev.empty() || j.value("ev", "") == ev)
			out.push_back(j);
	}
	return out;
}

int execWith(eWidget& widget, std::function<void()> script)
{
	eTimer safety(eApp);
	safety.timeout.connect([&widget] { widget.close(safetyResult); });
	safety.start(safetyMs, true);
	eApp->post(std::move(script));
	const int result = widget.exec();
	safety.stop();
	return result;
}

void drainLoop()
{
	for (int i = 0; i < drainTurns; ++i)
		eApp->processOneEvent(0);
}

std::string defaultSkinPath()
{
	return OXLE_TEST_SKIN;
}

void writeFile(const std::string& path, const std::string& content)
{
	std::ofstream out(path, std::ios::binary);
	out << content;
}
} // namespace GuiTest
