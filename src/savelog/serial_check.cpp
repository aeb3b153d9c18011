#include "savelog/serial_check.h"

#include "run/list_literal.h"
#include "run/run_error.h"

namespace dumplog {

bool is_safe_serial(const std::string& DriveSN) {
    for (const char c : DriveSN) {
        const bool allowed = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                             c == '.' || c == '_' || c == '+' || c == '-';
        if (!allowed) return false;
    }
    return true;
}

void refuse_unsafe_serial(const std::string& DriveSN) {
    if (is_safe_serial(DriveSN)) return;
    throw RunError("refusing serial number " + quoted_literal(DriveSN) +
                   " from the drive's reports: only letters, digits, '.', '_', '+' and '-' may name the "
                   "output folder; nothing was removed, made or run");
}

}  // namespace dumplog
