#pragma once
#include <string>
#include <vector>

namespace dumplog {

/// The lines of a report file as bytes, each with its line feed (the last
/// may lack one). Only a line feed ends a line. Throws RunError naming the
/// file and the system's reason when it cannot be opened or read.
std::vector<std::string> read_report_lines(const std::string& path);

/// Splits bytes into lines the same way.
std::vector<std::string> split_lines(const std::string& bytes);

}  // namespace dumplog
