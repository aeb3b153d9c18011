#pragma once
#include <string>

namespace dumplog {

/// A model report line counts when it begins with "0000".
bool is_model_line(const std::string& line);

/// ModelName from one identification line: the fourth-last and third-last
/// fields joined (indices below zero count from the end), "NULL" when both
/// are empty. Throws RunError when the line has a single field.
std::string model_from_line(const std::string& line);

}  // namespace dumplog
