#ifndef OXLE_TESTS_SUPPORT_HOSTTESTENV_H
#define OXLE_TESTS_SUPPORT_HOSTTESTENV_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "JournalReader.h"
#include "TempBoxRoot.h"

class eAction;
class eWidget;

// The desktop host every in-process test binary runs on, set up by the shared main
// (oxle-test-main): a TempBoxRoot with the plugin's pictures, a showiframe that notes its
// calls, the host's services and the journal in it. A store whose server address is not
// 127.0.0.1 stops the binary. A binary that wants it runs in a network namespace with only
// loopback up, entered in main before anything else, so that whatever a test (or a broken
// scan) connects to lies in 127.0.0.0/8; such tests skip unless insidePrivateNetwork().
class HostTestEnv
{
public:
	static constexpr int ABSENT_INT = -12345;
	static constexpr const char* ABSENT_STRING = "<absent>";

	// Asked at static initialisation; both return true.
	static bool wantPrivateNetwork();
	// Runs after the host is up, before the first test (e.g. the plugin's short time-outs).
	static bool atSetUp(std::function<void()> step);
	// A test runs the binary again with CHILD_VARIABLE=name: main runs only the routine
	// (which calls start() when it needs the host) and exits with its result.
	static bool registerChild(const std::string& name, std::function<int()> routine);
	static constexpr const char* CHILD_VARIABLE = "OXLE_TEST_CHILD";

	static int main(int argc, char** argv);
	// What main does around the tests: sets the host up (or aborts), and takes it down.
	static void start();
	static void stop();

	static bool insidePrivateNetwork() { return isolated; }
	static TempBoxRoot& root() { return *activeRoot; }
	// Points the command channel at 127.0.0.1:port.
	static void useServer(uint16_t port);

	// Runs the main loop until done() or timeoutMs pass; false on time-out.
	static bool pumpUntil(const std::function<bool()>& done, int timeoutMs);
	// Delivers a remote-control action to a widget's handler.
	static int press(eWidget& widget, const eAction& action);
	// Values as the store has them now.
	static int configInt(const char* key, int absent = ABSENT_INT);
	static std::string configString(const char* key, const std::string& absent = ABSENT_STRING);

	// Events so far; journal(mark) holds those written after the mark was taken.
	static size_t journalMark() { return journal().size(); }
	static JournalReader journal(size_t since = 0) { return JournalReader(root().file(JOURNAL), since); }
	// The arguments of every showiframe call, one a line, in order.
	static std::vector<std::string> showiframeCalls();

private:
	static constexpr const char* JOURNAL = "/journal.jsonl";
	// Set in main before any thread starts, and when the tests end.
	static bool isolated;
	static std::unique_ptr<TempBoxRoot> activeRoot;
};

#endif
