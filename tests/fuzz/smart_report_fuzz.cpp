// The SMART report (SMARTInfo.txt) as the SMART phase reads it: the first
// serial line, if any, gives the serial.
#include "fuzz_support.h"
#include "query/smart_serial.h"
#include "query/text.h"

using namespace dumplog;
using namespace dumplog::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string report = bytes_of(data, size);
    const auto serial = smart_serial_from_report(split_lines(report));
    if (!serial) return 0;
    check(report.find("erial Number:") != std::string::npos, "a serial comes only from a serial line", *serial,
          report);
    check_serial(*serial, report);
    check(!contains(*serial, ':') && !contains(*serial, '\n'), "SMART serial holds no colon and no line feed",
          *serial, report);
    return 0;
}
