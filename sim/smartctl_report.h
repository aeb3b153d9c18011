// The smartctl persona: an ATA-style SMART report for one drive.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "drive_table.h"
#include "faults.h"

namespace dumplog::sim {

constexpr std::string_view kSmartBanner = "smartctl (simulated drive) - SMART report\n";

// The full report text for drive (banner included).
std::string smart_report(const SimDrive& drive, const Faults& faults);

// Runs one invocation; returns the exit status, throws SimError on failure.
int run_smartctl(std::string_view program, std::span<const std::string> args, const Faults& faults);

}  // namespace dumplog::sim
