// The model report (CheckModel.txt) as the model phase reads it: every line
// that counts gives a model name, or the error for a line with one field.
#include "fuzz_support.h"
#include "query/model_check.h"
#include "query/text.h"
#include "run/run_error.h"

using namespace dumplog;
using namespace dumplog::fuzz;

namespace {

// A line has one field exactly when, trimmed, it holds neither a blank nor a
// dash (dashes become blanks; halving blank runs never removes the last one).
bool has_one_field(const std::string& line) {
    std::size_t begin = 0, end = line.size();
    while (begin < end && is_white(line[begin])) ++begin;
    while (end > begin && is_white(line[end - 1])) --end;
    const std::string trimmed = line.substr(begin, end - begin);
    return !contains(trimmed, ' ') && !contains(trimmed, '-');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string report = bytes_of(data, size);
    for (const auto& line : split_lines(report)) {
        if (!is_model_line(line)) continue;
        std::string model;
        try {
            model = model_from_line(line);
        } catch (const RunError&) {
            check(has_one_field(line), "only a line with a single field is refused", line, report);
            continue;
        }
        check(!has_one_field(line), "a line with a single field is refused", line, report);
        check(!contains(model, ' ') && !contains(model, '.') && !contains(model, '-'),
              "model name holds no blank, dot or dash", model, report);
        check(model.empty() || (!is_white(model.front()) && !is_white(model.back())),
              "model name has no white space at either end", model, report);
    }
    return 0;
}
