// The line an operator types at the drive prompt: its words, and the list the
// run echoes from them.
#include "fuzz_support.h"
#include "list_literal_decoder.h"
#include "run/drive_selection.h"

using namespace dumplog;
using namespace dumplog::fuzz;

namespace {

// The line without white space at either end, each run of blanks made one.
std::string trimmed_and_collapsed(const std::string& line) {
    std::size_t begin = 0, end = line.size();
    while (begin < end && is_white(line[begin])) ++begin;
    while (end > begin && is_white(line[end - 1])) --end;
    std::string out;
    for (std::size_t k = begin; k < end; ++k)
        if (line[k] != ' ' || (!out.empty() && out.back() != ' ')) out += line[k];
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string line = bytes_of(data, size);
    const auto words = split_typed_line(line);

    std::string joined;
    for (const auto& word : words) {
        check(!word.empty(), "no empty word", word, line);
        check(!contains(word, ' '), "a word holds no blank", word, line);
        if (!joined.empty()) joined += ' ';
        joined += word;
    }
    check(joined == trimmed_and_collapsed(line), "the words joined by single blanks are the trimmed line",
          joined, line);

    const std::string echoed = list_literal(words);
    check(decode_list_literal(echoed) == words, "the echoed list reads back as the words", echoed, line);
    return 0;
}
