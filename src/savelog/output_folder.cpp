#include "savelog/output_folder.h"

#include "run/console.h"
#include "run/run_state.h"
#include "run/seams.h"
#include "savelog/file_ops.h"
#include "savelog/serial_check.h"

namespace dumplog {

void output_folder(RunState& state, Seams& seams) {
    const std::string& DriveSN = defined_DriveSN(state);
    refuse_unsafe_serial(DriveSN);

    const std::string folder = "./" + DriveSN;
    if (is_directory(folder)) {
        seams.console.plain("remove dir:./" + DriveSN);
        remove_folder_tree(folder);
    }
    seams.console.MsgOut("make dir:./" + DriveSN);
    make_folder(folder);
}

}  // namespace dumplog
