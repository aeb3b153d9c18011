// The SMART report (SMARTInfo.txt) as the SMART phase reads it: a report gives a serial exactly when some byte
// other than white space stands right before "erial Number:", and that serial has the form of one.
#include "fuzz_support.h"
#include "query/smart_serial.h"

void dumplog::fuzz::check_report(const std::string& report) {
    bool matches = false;  // a line feed is white space, so the whole report can be scanned at once
    for (std::size_t at = 1; at < report.size() && !matches; ++at)
        matches = !is_white(report[at - 1]) && report.compare(at, 13, "erial Number:") == 0;

    const auto serial = smart_serial_from_report(split_lines(report));
    check(serial.has_value() == matches, "a report gives a serial exactly when a line matches",
          serial.value_or("(none)"));
    if (!serial) return;
    check_serial(*serial);
    check(!holds_any(*serial, ":\n"), "SMART serial holds no colon and no line feed", *serial);
}
