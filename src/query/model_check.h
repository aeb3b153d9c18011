#pragma once
#include <string>

namespace dumplog {

struct RunState;
struct Host;

/// A model report line counts when it begins with "0000".
bool is_model_line(const std::string& line);

/// ModelName from one identification line: the fourth-last and third-last
/// fields joined (indices below zero count from the end), "NULL" when both
/// are empty. Throws RunError when the line has a single field.
std::string model_from_line(const std::string& line);

/// Asks the drive for its model identification (CheckModel.txt) and leaves
/// ModelName: empty when no line matched, otherwise from the last match.
void check_model(RunState& state, Host& host);

}  // namespace dumplog
