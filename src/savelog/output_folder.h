#pragma once

namespace dumplog {

struct RunState;
struct Seams;

/// Makes a fresh, empty folder "./" + DriveSN, removing one left by an
/// earlier run. A serial unfit for a path is refused before anything happens.
void output_folder(RunState& state, Seams& seams);

}  // namespace dumplog
