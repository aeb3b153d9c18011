// The E2 page report (E2.txt) as the E2 phase reads it: every 04C0 row gives a serial.
#include "fuzz_support.h"
#include "query/e2_serial.h"

void dumplog::fuzz::check_report(const std::string& report) {
    for (const auto& line : split_lines(report)) {
        if (!is_e2_serial_line(line)) continue;
        const std::string serial = e2_serial_from_line(line);
        check_serial(serial);
        check(!holds_any(serial, ".-abcdefghijklmnopqrstuvwxyz"), "E2 serial holds no dot, dash or lower-case letter",
              serial);
    }
}
