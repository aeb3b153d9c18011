// SIM_LOG: one line per invocation, so tests can see which commands ran.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace dumplog::sim {

// Appends "PROGRAM ARG1 ARG2 ..." to the file named by SIM_LOG, if set.
// Throws SimError(kExitUsage) when the file cannot be appended to.
void log_invocation(std::string_view program, std::span<const std::string> args);

}  // namespace dumplog::sim
