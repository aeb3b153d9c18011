// The E2 page report (E2.txt) as the E2 phase reads it: every 04C0 row gives
// a serial.
#include "fuzz_support.h"
#include "query/e2_serial.h"
#include "query/text.h"

using namespace dumplog;
using namespace dumplog::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string report = bytes_of(data, size);
    for (const auto& line : split_lines(report)) {
        if (!is_e2_serial_line(line)) continue;
        const std::string serial = e2_serial_from_line(line);
        check_serial(serial, report);
        bool lower = false;
        for (const char c : serial) lower = lower || (c >= 'a' && c <= 'z');
        check(!contains(serial, '.') && !contains(serial, '-') && !lower,
              "E2 serial holds no dot, dash or lower-case letter", serial, report);
    }
    return 0;
}
