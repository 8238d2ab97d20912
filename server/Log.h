#pragma once

#include <string>

namespace oxle::server {

// One-line diagnostics on standard error, each with a local time stamp, so that a
// log of several threads stays readable and greppable.
class Log {
public:
    static void setVerbose(bool verbose);
    static bool verbose();

    // Always written: what an operator needs to see (refusals, failures, sessions).
    static void info(const std::string& message);
    // Written with --verbose only: every request and reply.
    static void debug(const std::string& message);
};

}  // namespace oxle::server
