#include "vendor_pages.h"

#include <cassert>

#include "hex_dump.h"

namespace dumplog::sim {

std::string model_page(std::string_view model_text) {
    // Row 0000: first four model characters, a blank, the rest, a blank and
    // the fixed 00 00 00 20 00 00 trailer, cut or padded to one row.
    std::string id(model_text.substr(0, 4));
    id += ' ';
    if (model_text.size() > 4) id += model_text.substr(4);
    id += ' ';
    id += std::string_view("\0\0\0\x20\0\0", 6);
    id.resize(kDumpRowSize, '\0');
    id.resize(kModelPageSize, '\0');
    return id;
}

std::string e2_page(E2Row row, std::string_view serial) {
    assert(serial.size() <= kDumpRowSize);
    std::string page(kE2PageSize, '\0');
    if (row == E2Row::Serial) serial.copy(page.data() + kE2SerialOffset, kDumpRowSize);
    return page;
}

}  // namespace dumplog::sim
