// The list printer: whatever bytes the entries hold, the printed list reads
// back as the same entries. The first input byte is the separator at which the
// rest is cut into entries; an empty input is the empty list.
#include "fuzz_support.h"
#include "list_literal_decoder.h"
#include "query/text.h"
#include "run/drive_selection.h"

using namespace dumplog;
using namespace dumplog::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input = bytes_of(data, size);
    std::vector<std::string> entries;
    if (!input.empty()) entries = split_at(input.substr(1), input[0]);

    const std::string printed = list_literal(entries);
    check(decode_list_literal(printed) == entries, "the printed list reads back as the same entries", printed,
          input);
    return 0;
}
