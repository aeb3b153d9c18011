#pragma once

namespace dumplog {

struct RunState;
struct Seams;

/// Asks the drive for its model identification (CheckModel.txt) and leaves
/// ModelName: empty when no line matched, otherwise from the last match.
void model_check(RunState& state, Seams& seams);

}  // namespace dumplog
