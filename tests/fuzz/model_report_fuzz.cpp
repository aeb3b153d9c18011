// The model report (CheckModel.txt) as the model phase reads it: every 0000 row gives a model name, or the
// error for a row with one field: trimmed, it holds neither a blank nor a dash (dashes become blanks; halving
// blank runs never removes the last one).
#include "fuzz_support.h"
#include "query/model_check.h"
#include "run/run_error.h"

void dumplog::fuzz::check_report(const std::string& report) {
    for (const auto& line : split_lines(report)) {
        if (!is_model_line(line)) continue;
        const std::string trimmed(line.begin(), std::find_if_not(line.rbegin(), line.rend(), is_white).base());
        std::string model;
        bool refused = false;
        try {
            model = model_from_line(line);
        } catch (const RunError&) {
            refused = true;
        }
        check(refused == !holds_any(trimmed, " -"), "a row is refused exactly when it has a single field", line);
        check(!holds_any(model, " .-"), "model name holds no blank, dot or dash", model);
        check(model.empty() || (!is_white(model.front()) && !is_white(model.back())),
              "model name has no white space at either end", model);
    }
}
