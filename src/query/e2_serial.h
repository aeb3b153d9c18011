#pragma once

namespace dumplog {

struct RunState;
struct Seams;

/// Asks the drive for its E2 page (E2.txt); the last 04C0 row sets DriveSN.
/// Without such a row DriveSN stays unset.
void e2_serial(RunState& state, Seams& seams);

}  // namespace dumplog
