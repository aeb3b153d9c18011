#pragma once

namespace dumplog {

struct RunState;
struct Seams;

/// Family drives only: saves the SMART report (SMARTInfo.txt) and, when the
/// E2 page gave "SN0000", takes DriveSN from its first serial line.
void smart_serial(RunState& state, Seams& seams);

}  // namespace dumplog
