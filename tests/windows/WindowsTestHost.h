#ifndef OXLE_TESTS_WINDOWS_WINDOWSTESTHOST_H
#define OXLE_TESTS_WINDOWS_WINDOWSTESTHOST_H

#include <cstdint>
#include <functional>
#include <string>

#include "eWidgetEvent.h"

class TempBoxRoot;
class eAction;
class eWidget;

// The harness of the windows' tests. Every test binary runs one desktop host in-process
// on a throw-away box root whose store points the command channel at 127.0.0.1; the
// binary's main refuses to run tests otherwise.

TempBoxRoot& windowsTestRoot();

// Sets up the desktop host on root (box root, services) and checks that commands go
// to 127.0.0.1. False, with a reason, when they would not.
bool startDesktopHost(TempBoxRoot& root, std::string& why);

// Points the command channel at 127.0.0.1:port.
void useLoopbackServer(uint16_t port);

// Configuration values as the store has them now.
std::string configString(const char* key, const std::string& absent = "<absent>");
int configInt(const char* key, int absent = -12345);

// Delivers a remote-control action to a widget's handler.
int press(eWidget& widget, const eAction& action);

// True when the binary runs in a network namespace of its own where only loopback is
// up (main enters one when it may). Tests whose faulty variants could connect outside
// 127.0.0.0/8 run only then.
bool insidePrivateNetwork();

// Work that must run in a process of its own (for instance inside a network namespace
// the test makes). A test registers a routine by name at static initialisation and runs
// the binary again with OXLE_WINDOWS_TEST_CHILD=name; main then runs only the routine
// and exits with its result. The routine sets up its own desktop host.
using ChildRoutine = std::function<int()>;
bool registerChildRoutine(const std::string& name, ChildRoutine routine);
extern const char CHILD_ROUTINE_VARIABLE[];

#endif
