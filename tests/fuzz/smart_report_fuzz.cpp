// The SMART report (SMARTInfo.txt) as the SMART phase reads it: a report gives
// a serial exactly when some byte other than white space stands right before
// "erial Number:", and that serial has the form of one.
#include "fuzz_support.h"
#include "query/smart_serial.h"
#include "query/text.h"

using namespace dumplog;
using namespace dumplog::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string report = bytes_of(data, size);
    const std::string tail = "erial Number:";
    bool matches = false;  // a line feed is white space, so the whole report can be scanned at once
    for (std::size_t at = 1; at < report.size() && !matches; ++at)
        matches = !is_white(report[at - 1]) && report.compare(at, tail.size(), tail) == 0;

    const auto serial = smart_serial_from_report(split_lines(report));
    check(serial.has_value() == matches, "a report gives a serial exactly when a line matches",
          serial.value_or("(none)"), report);
    if (!serial) return 0;
    check_serial(*serial, report);
    check(!contains(*serial, ':') && !contains(*serial, '\n'), "SMART serial holds no colon and no line feed", *serial,
          report);
    return 0;
}
