#include "run/dumplog.h"

#include <cstdio>
#include <exception>
#include <optional>

#include "query/e2_serial.h"
#include "query/model_check.h"
#include "query/shell.h"
#include "query/smart_serial.h"
#include "run/console.h"
#include "run/drive_selection.h"
#include "run/host.h"
#include "run/run_error.h"
#include "run/run_state.h"
#include "run/startup.h"
#include "savelog/file_ops.h"
#include "savelog/output_folder.h"
#include "savelog/packaging.h"
#include "savelog/page_dump.h"

namespace dumplog {
namespace {

// An error that does not name its step gets this one.
template <typename Action>
void named_step(const char* name, Action&& action) {
    try {
        action();
    } catch (RunError& error) {
        if (error.step().empty()) error.set_step(name);
        throw;
    }
}

// Runs one phase, unless a signal has arrived since the last one.
template <typename Phase>
void step(const char* name, Phase&& phase) {
    named_step(name, [&] {
        throw_if_interrupted();
        phase();
    });
}

void error_branch(Host& host) {
    delete_if_present("DriveInfo.txt");
    host.console.plain("Error: Please specify the drive path");
    for (const char* line : kSelectionHelp) host.console.plain(line);
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

int dumplog_KR4KRW(const std::vector<std::string>& args, Host& host) {
    RunState state;
    step("start-up", [&] { start_up(state, host); });
    step("drive selection", [&] { select_drive(state, host, args); });

    if (state.devInfo.empty()) {
        step("drive selection", [&] { error_branch(host); });
        return 0;
    }
    step("model check", [&] {
        // Reports a stopped or failed run left of its drive must not be packed
        // with this one's: the model and E2 reports are written anew, but the
        // SMART report (family drives only) and the vendor tool's in.txt (only
        // after a command that worked) may not be. Whatever else but a folder
        // stands at their names goes too.
        for (const char* earlier : {"SMARTInfo.txt", "in.txt", "SavelogInfo.txt"}) {
            remove_planted(earlier);
            delete_if_present(earlier);
        }
        check_model(state, host);
    });
    step("serial number from the E2 report", [&] { read_e2_serial(state, host); });
    step("serial number from the SMART report", [&] { read_smart_serial(state, host); });
    step("output folder", [&] { make_output_folder(state, host); });
    step("save-log dump", [&] { dump_pages(state, host); });
    step("gathering and packaging", [&] { pack(state, host); });
    return 0;
}

int run_process(const std::vector<std::string>& args, Host& host) {
    std::string step_name;
    std::string reason;
    try {
        if (const auto text = option_text(args)) {
            step("console output", [&] {
                host.console.write_text(*text);
                host.console.flush();
            });
            return 0;
        }
        const int status = dumplog_KR4KRW(args, host);
        // The run's last line is written: a signal now changes nothing, only
        // a console that refuses what is still buffered does.
        named_step("console output", [&] { host.console.flush(); });
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
