#include "run/dumplog.h"

#include <cstdio>
#include <exception>
#include <optional>

#include "query/e2_serial.h"
#include "query/model_check.h"
#include "query/smart_serial.h"
#include "run/console.h"
#include "run/drive_selection.h"
#include "run/interrupt.h"
#include "run/run_error.h"
#include "run/run_state.h"
#include "run/seams.h"
#include "run/startup.h"
#include "savelog/file_ops.h"
#include "savelog/output_folder.h"
#include "savelog/packaging.h"
#include "savelog/page_dump.h"

namespace dumplog {
namespace {

// Runs one phase; an error that does not name its step gets this one.
template <typename Phase>
void step(const char* name, Phase&& phase) {
    try {
        throw_if_interrupted();
        phase();
    } catch (RunError& error) {
        if (error.step().empty()) error.set_step(name);
        throw;
    }
}

void error_branch(Seams& seams) {
    if (is_regular_file("DriveInfo.txt")) delete_file("DriveInfo.txt");
    seams.console.plain("Error: Please specify the drive path");
    for (const char* line : kSelectionHelp) seams.console.plain(line);
}

// What --help prints: the two ways to call the tool and what it needs.
constexpr const char* kUsage =
    "usage: dumplog DEVICE PORT   collect from the drive on a MegaRAID port (dumplog /dev/sda 8)\n"
    "       dumplog               list the drives, then type DEVICE or DEVICE PORT\n"
    "\n"
    "Run it as root in its working folder, the folder that holds the vendor\n"
    "command tool under Zerbo/ and smartctl under SmartCtl/. It leaves\n"
    "SN<serial>.tar.bz2 and the folder SN<serial>/ there. Every run gives every\n"
    "file under that folder mode 777.\n"
    "\n"
    "  --version   print the version and exit\n"
    "  --help      print this text and exit\n"
    "\n"
    "The manual: man 8 dumplog\n";

}  // namespace

std::optional<std::string> option_text(const std::vector<std::string>& args) {
    if (args.size() != 1) return std::nullopt;
    if (args[0] == "--version") return std::string("dumplog ") + DUMPLOG_VERSION + "\n";
    if (args[0] == "--help") return std::string(kUsage);
    return std::nullopt;
}

int dumplog_KR4KRW(const std::vector<std::string>& args, Seams& seams) {
    RunState state;
    step("start-up", [&] { startup(state, seams); });
    step("drive selection", [&] { select_drive(state, seams, args); });

    if (state.devInfo.empty()) {
        step("drive selection", [&] { error_branch(seams); });
        return 0;
    }
    step("model check", [&] { model_check(state, seams); });
    step("serial number from the E2 report", [&] { e2_serial(state, seams); });
    step("serial number from the SMART report", [&] { smart_serial(state, seams); });
    step("output folder", [&] { output_folder(state, seams); });
    step("save-log dump", [&] { page_dump(state, seams); });
    step("gathering and packaging", [&] { packaging(state, seams); });
    return 0;
}

int run_process(const std::vector<std::string>& args, Seams& seams) {
    std::string step_name;
    std::string reason;
    try {
        if (const auto text = option_text(args)) {
            step("console output", [&] {
                seams.console.write_text(*text);
                seams.console.flush();
            });
            return 0;
        }
        const int status = dumplog_KR4KRW(args, seams);
        step("console output", [&] { seams.console.flush(); });
        return status;
    } catch (const RunError& error) {
        step_name = error.step().empty() ? "run" : error.step();
        reason = error.reason();
    } catch (const std::exception& error) {
        step_name = "run";
        reason = error.what();
    }
    // Keep what was written so far, then the one-line report.
    std::fflush(stdout);
    std::fprintf(stderr, "dumplog: %s failed: %s\n", step_name.c_str(), reason.c_str());
    std::fflush(stderr);
    return 1;
}

}  // namespace dumplog
