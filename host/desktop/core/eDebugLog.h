#ifndef OXLE_DESKTOP_EDEBUGLOG_H
#define OXLE_DESKTOP_EDEBUGLOG_H

#include <string>

// Where the desktop box sends diagnostics. eDebug lines go to the log file when one is
// open, and to the terminal only when verbose or when there is no log; eWarning and
// eFatal lines go to both, since a viewer must see what went wrong. Any thread.
namespace eDebugLog
{
// Opens (truncates) the log for the rest of the process; false when it cannot, and
// lines stay on the terminal.
bool open(const std::string& path);
void setVerbose(bool verbose);
} // namespace eDebugLog

#endif
