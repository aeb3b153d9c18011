#include "run/run_state.h"

#include "run/run_error.h"

namespace dumplog {

bool is_family_drive(const std::string& ModelName) {
    return ModelName == "QLX22581" || ModelName == "QLX22582";
}

const std::string& defined_DriveSN(const RunState& state) {
    if (!state.DriveSN) throw RunError("name 'DriveSN' is not defined");
    return *state.DriveSN;
}

}  // namespace dumplog
