// The vendor command tool persona: drive listing and vendor commands.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "faults.h"

namespace dumplog::sim {

// Runs one invocation; returns the exit status, throws SimError on failure.
int run_vendor_tool(std::string_view program, std::span<const std::string> args, const Faults& faults);

}  // namespace dumplog::sim
