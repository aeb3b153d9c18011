#include "savelog/output_folder.h"

#include "query/text.h"
#include "run/console.h"
#include "run/host.h"
#include "run/run_error.h"
#include "run/run_state.h"
#include "savelog/file_ops.h"

namespace dumplog {

bool is_safe_serial(const std::string& DriveSN) {
    for (const char c : DriveSN) {
        const bool allowed = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
                             c == '_' || c == '+' || c == '-';
        if (!allowed) return false;
    }
    return true;
}

void make_output_folder(RunState& state, Host& host) {
    const std::string& DriveSN = defined_DriveSN(state);
    if (!is_safe_serial(DriveSN))
        throw RunError("refusing serial number " + quoted_literal(DriveSN) +
                       " from the drive's reports: only letters, digits, '.', '_', '+' and '-' may name the "
                       "output folder; nothing was removed, made or run");
    if (DriveSN.size() > kLongestDriveSN)
        throw RunError("refusing serial number " + quoted_literal(DriveSN) + " from the drive's reports: it is " +
                       std::to_string(DriveSN.size()) + " bytes long, but at most " + std::to_string(kLongestDriveSN) +
                       " leave room for the archive's name (the serial and .tar.bz2.part in 255 bytes); nothing was "
                       "removed, made or run");

    const std::string folder = "./" + DriveSN;
    if (is_directory(folder)) {
        host.console.plain("remove dir:./" + DriveSN);
        remove_folder_tree(folder);
    }
    host.console.MsgOut("make dir:./" + DriveSN);
    // Closed to others while the vendor tool writes pages into it as root: a
    // link planted under a page's name would be written through. Packing
    // opens it to all once the pages are in.
    make_folder(folder, 0755);
}

}  // namespace dumplog
